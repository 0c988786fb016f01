# Cross-build for 64-bit Windows with MinGW-w64 (POSIX thread model, so std::thread and
# std::mutex exist); mingw-w64-i686.cmake sets QUOREL_MINGW_PROCESSOR for 32-bit Windows.
# Programs link statically and need no DLL besides the system's. Tests run under Wine through
# the cross-compiling emulator.
if(NOT QUOREL_MINGW_PROCESSOR)
  set(QUOREL_MINGW_PROCESSOR x86_64)
endif()
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUOREL_MINGW_PROCESSOR})

set(triple ${QUOREL_MINGW_PROCESSOR}-w64-mingw32)
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
# Resource scripts are UTF-8.
set(CMAKE_RC_FLAGS_INIT "--codepage=65001")

set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
