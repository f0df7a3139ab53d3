# Shared by the MinGW-w64 toolchain files: the one including it sets CMAKE_SYSTEM_PROCESSOR and
# KITFORGE_MINGW_TRIPLET first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KITFORGE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KITFORGE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KITFORGE_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${KITFORGE_MINGW_TRIPLET}-ar CACHE FILEPATH "archiver")
set(CMAKE_RANLIB ${KITFORGE_MINGW_TRIPLET}-ranlib CACHE FILEPATH "ranlib")
set(CMAKE_OBJCOPY ${KITFORGE_MINGW_TRIPLET}-objcopy CACHE FILEPATH "objcopy")
set(CMAKE_STRIP ${KITFORGE_MINGW_TRIPLET}-strip CACHE FILEPATH "strip")

# Libraries and headers come from the MinGW-w64 tree only, never from the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${KITFORGE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtimes of GCC, the C++ library and winpthreads go into every executable and DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Windows programs run under Wine on this machine (scripts/build-windows).
find_program(KITFORGE_WINE wine)
if(KITFORGE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KITFORGE_WINE})
endif()
