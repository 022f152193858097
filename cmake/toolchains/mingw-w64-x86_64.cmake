# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler (posix threading model).
# Programs and libraries run under Wine for the tests (see cmake/WineTests.cmake).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRAX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRAX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRAX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TRAX_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRAX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C and C++ runtimes and the threading library are linked into each program and DLL, so
# that the build folder runs as it is, without copies of the compiler's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
