# Cross-compiles to Windows with Debian's MinGW-w64 toolchain, for the
# processor the including toolchain file sets.
#
# The -win32 compilers, not -posix: their runtime needs no winpthreads, whose
# static copy imports KERNEL32!GetTickCount64 and keeps the DLL from loading
# on Windows XP and Server 2003. Nothing here may use std::thread or
# std::mutex, which that runtime lacks.
set(CMAKE_SYSTEM_NAME Windows)
set(TOOLCHAIN_PREFIX ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link zlib statically so the DLL carries it.
set(ZLIB_USE_STATIC_LIBS ON)
