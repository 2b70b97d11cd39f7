# The shipped build: 32-bit Windows, as the 1C:Enterprise 7 host is.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
