# 64-bit Windows from Linux with Debian's clang 14 and lld, against the
# mingw-w64 headers and import libraries (mingw-w64-x86-64-dev).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(velmora_triple x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_CXX_COMPILER_TARGET ${velmora_triple})
set(CMAKE_EXE_LINKER_FLAGS_INIT -fuse-ld=lld)
# clang does not find Debian's mingw-w64 GCC runtime libraries (libgcc), so a
# test program linked the default way fails. Every Windows target here links
# with -nostdlib; CMake's compiler checks only compile.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# llvm-windres (package llvm-14) writes a COFF object that lld links; it
# preprocesses through clang, which needs the target to find the headers.
find_program(velmora_llvm_windres NAMES llvm-windres-14 llvm-windres REQUIRED)
set(CMAKE_RC_COMPILER ${velmora_llvm_windres})
set(CMAKE_RC_FLAGS_INIT "--target=${velmora_triple}")

set(CMAKE_FIND_ROOT_PATH /usr/${velmora_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
