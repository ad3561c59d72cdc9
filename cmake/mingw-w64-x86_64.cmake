# Cross-building for 64-bit Windows with Debian's MinGW-w64 (posix thread model).
# scripts/build-windows.sh passes BV_WIN_SYSROOT (the dependency sysroot) and
# BV_WIN_QT (Qt built for Windows); both are searched, and only they, for libraries.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BV_WIN_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${BV_WIN_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BV_WIN_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BV_WIN_TRIPLET}-windres)
set(CMAKE_AR ${BV_WIN_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${BV_WIN_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Try-compiles get the variables too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BV_WIN_SYSROOT BV_WIN_QT)

set(CMAKE_FIND_ROOT_PATH /usr/${BV_WIN_TRIPLET})
if(BV_WIN_SYSROOT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${BV_WIN_SYSROOT})
  set(ENV{PKG_CONFIG_LIBDIR} "${BV_WIN_SYSROOT}/lib/pkgconfig")
  set(ENV{PKG_CONFIG_PATH} "")
endif()
if(BV_WIN_QT)
  list(APPEND CMAKE_FIND_ROOT_PATH ${BV_WIN_QT})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and tools built here run under Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# The GCC runtime is linked in; the programs then need no libgcc/libstdc++ DLLs
# (libwinpthread-1.dll stays, as Qt's DLLs use it too).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
