target_sources(bv_mailstore PRIVATE ${CMAKE_CURRENT_LIST_DIR}/MsgWriter.cpp)
