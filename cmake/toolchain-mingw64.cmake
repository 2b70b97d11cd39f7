# A 64-bit Windows build of the same sources, run under 64-bit Wine as a
# stand-in for the 32-bit DLL on machines that cannot run 32-bit programs.
# Never shipped: the host is a 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
