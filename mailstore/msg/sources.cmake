target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CompoundFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MsgWriter.cpp
)
