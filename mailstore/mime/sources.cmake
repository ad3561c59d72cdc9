target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Charsets.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CompressedRtf.cpp
  ${CMAKE_CURRENT_LIST_DIR}/EncodedWords.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FileNames.cpp
  ${CMAKE_CURRENT_LIST_DIR}/GMimeSupport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HeaderMapping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/HtmlText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/LabelsField.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MimeWalk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Rfc822Import.cpp
  ${CMAKE_CURRENT_LIST_DIR}/RtfText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Tnef.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TnefImport.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TnefStream.cpp
  ${CMAKE_CURRENT_LIST_DIR}/TopHeader.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Uuencode.cpp
)
