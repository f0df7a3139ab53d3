# Cross-build for 64-bit Windows with Debian's MinGW-w64 (packages g++-mingw-w64-x86-64-posix and
# mingw-w64-x86-64-dev). The programs we ship are the 32-bit ones; this build exists so that the
# same sources can be run under a Wine that cannot start 32-bit programs (a kernel without 32-bit
# support): scripts/build-windows --arch x86_64.
#   cmake -S . -B build-windows-x86_64 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KITFORGE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
