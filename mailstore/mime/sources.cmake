target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MimeText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Rfc822Import.cpp
)
