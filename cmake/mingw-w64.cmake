# Cross-build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads: std::thread and
# std::mutex need them). DUVIX_WIN_PREFIX names the folder with Qt and the libraries built for
# Windows; nothing is looked up in the host's /usr.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
if(DEFINED ENV{DUVIX_WIN_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH $ENV{DUVIX_WIN_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
