pkg_check_modules(GSF REQUIRED IMPORTED_TARGET libgsf-1)
target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/MsgFormat.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MsgWriter.cpp
)
target_link_libraries(bv_mailstore PRIVATE PkgConfig::GSF)
