# The Unicode .pst writer, by layer: ndb (node database), ltp (heaps, property and
# table contexts), messaging (store, folders, messages).
target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/PstStoreSeries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/AllocationMap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/Block.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/BlockFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/BTreePage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/CopyOnWriteIndex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/Header.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/NodeDatabase.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/SequentialIndex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/PageTrailer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/Permute.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ndb/SpillFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ltp/BlockSpool.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ltp/Bth.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ltp/Heap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ltp/LtpNode.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ltp/PropertyContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ltp/TableContext.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ltp/TableEditor.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/ContentsTables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/FolderTree.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/IdentityIndex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/IdentityTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/ItemReader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/MessageBuilder.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/NameToIdMap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/PropertyEncoding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/Store.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/StoreFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/StoreReadBack.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/StoreRelabel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/StoreSize.cpp
  ${CMAKE_CURRENT_LIST_DIR}/messaging/Templates.cpp
)
