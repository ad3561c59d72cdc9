# Shared primitives of every layer: the UTF-8 codec, little-endian fields, the CRC-32,
# the complete-or-absent file writer, the platform's file calls, freeing memory, the
# Windows programs' memchr.
target_sources(bv_mailstore PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ByteSearchWindows.c
  ${CMAKE_CURRENT_LIST_DIR}/CompleteFile.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CompleteFileFolders.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Crc32.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FreeMemory.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlatformFilePosix.cpp
  ${CMAKE_CURRENT_LIST_DIR}/PlatformFileWindows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Utf8.cpp
)
