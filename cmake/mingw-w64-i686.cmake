# Cross-build for 32-bit Windows with Debian's MinGW-w64 (packages g++-mingw-w64-i686-posix and
# mingw-w64-i686-dev). The "-posix" compilers are the ones with std::thread; every program is
# linked with the GCC and C++ runtimes inside it, so nothing but system DLLs is needed on Windows.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KITFORGE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
