target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/EntryIds.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MessageDefaults.cpp
  ${CMAKE_CURRENT_LIST_DIR}/NameIdMap.cpp
  ${CMAKE_CURRENT_LIST_DIR}/SubjectPrefix.cpp
)
