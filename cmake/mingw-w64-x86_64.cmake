# Cross-building for 64-bit Windows with Debian's mingw-w64 (posix threads, so
# std::thread and std::mutex work). Qt for Windows is found under TORV_QT_WIN.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
if(NOT TORV_QT_WIN AND DEFINED ENV{TORV_QT_WIN})
  set(TORV_QT_WIN "$ENV{TORV_QT_WIN}")
endif()
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${TORV_QT_WIN} ${TORV_WIN_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Try-compiles see the same folders.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TORV_QT_WIN TORV_WIN_DEPS)
