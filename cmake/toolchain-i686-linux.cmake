# The 32-bit (i686) Linux build of the protocol client and the benchmark, for
# figures of the pointer and string sizes the shipped 32-bit DLL has. Debian's
# multilib compilers (g++-multilib) and zlib (lib32z1-dev); OpenSSL and
# MariaDB Connector/C for i386 come unpacked from their Debian packages into
# ORBELIN_I686_ROOT (scripts/bench does that), so the 64-bit system keeps its
# own versions.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)

# Test projects of the configure step read this file too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ORBELIN_I686_ROOT)
if(NOT ORBELIN_I686_ROOT)
  message(FATAL_ERROR "ORBELIN_I686_ROOT: the folder with the unpacked i386 packages")
endif()
set(root ${ORBELIN_I686_ROOT})
# The architecture's own OpenSSL headers (configuration.h) lie beside the
# common ones.
set(CMAKE_C_FLAGS_INIT "-m32 -isystem ${root}/usr/include/i386-linux-gnu")
set(CMAKE_CXX_FLAGS_INIT "-m32 -isystem ${root}/usr/include/i386-linux-gnu")
# The unpacked libraries are found at run time without LD_LIBRARY_PATH.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-m32 -Wl,-rpath,${root}/usr/lib/i386-linux-gnu")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-m32")
set(OPENSSL_ROOT_DIR ${root}/usr)
set(OPENSSL_INCLUDE_DIR ${root}/usr/include)
set(OPENSSL_SSL_LIBRARY ${root}/usr/lib/i386-linux-gnu/libssl.so)
set(OPENSSL_CRYPTO_LIBRARY ${root}/usr/lib/i386-linux-gnu/libcrypto.so)
set(ZLIB_LIBRARY /usr/lib32/libz.so)
set(ZLIB_INCLUDE_DIR /usr/include)
