# The Windows cross-build (cmake/mingw-w64-i686.cmake): libraries from the MinGW-w64 tree, the
# two header-only libraries of kitforge-cli from the build machine, and only the parts that
# make sense for Windows: no Qt editor, no benchmarks, no fuzz targets.
if(NOT WIN32)
  message(FATAL_ERROR "KitforgeWindows.cmake is for the Windows cross-build only")
endif()

# Plain variables shadow the cache: whatever the command line says, these are not built.
set(KITFORGE_BUILD_UI OFF)
set(KITFORGE_BUILD_BENCH OFF)
set(KITFORGE_FUZZ OFF)
set(KITFORGE_SANITIZE OFF)

# zlib of libz-mingw-w64-dev, linked statically so that no zlib1.dll has to travel along.
set(ZLIB_USE_STATIC_LIBS ON)
find_package(ZLIB REQUIRED)

# CLI11 and nlohmann-json are header-only. Their build-machine packages are the same text on
# every platform, but /usr/include must not join a Windows build: only their two folders are
# made visible, through links in the build tree.
set(KITFORGE_HOST_INCLUDE_DIR /usr/include CACHE PATH "where the CLI and nlohmann header folders are")
set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(folder CLI nlohmann)
  if(NOT EXISTS ${KITFORGE_HOST_INCLUDE_DIR}/${folder})
    message(FATAL_ERROR "${KITFORGE_HOST_INCLUDE_DIR}/${folder} is missing (packages libcli11-dev, nlohmann-json3-dev)")
  endif()
  if(NOT EXISTS ${host_headers}/${folder})
    file(CREATE_LINK ${KITFORGE_HOST_INCLUDE_DIR}/${folder} ${host_headers}/${folder} SYMBOLIC)
  endif()
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${host_headers})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${host_headers})

# Unicode Win32 API throughout (the W functions), and no min/max macros from <windows.h>.
add_compile_definitions(UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)
# localtime_r and gmtime_r of the MinGW-w64 headers (thin wrappers of the _s functions).
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS=200112L)

# Test programs for Windows are optional: GoogleTest is built from its Debian sources.
option(KITFORGE_WINDOWS_TESTS "Build the unit-test programs that run under Wine" OFF)
if(KITFORGE_WINDOWS_TESTS)
  set(KITFORGE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (package googletest)")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${KITFORGE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # GoogleTest's own project already names its targets GTest::gtest and so on.
  foreach(lib gtest gtest_main gmock gmock_main)
    target_compile_options(${lib} PRIVATE -Wno-error)
  endforeach()
else()
  set(KITFORGE_BUILD_TESTS OFF)
endif()

# Version information, icon and application manifest of each Windows program, compiled by the
# MinGW resource compiler from resources/windows/program.rc.in. DLL: a library's file type and
# no manifest (a DLL takes its process's). ROOM: the version block of the installer stub keeps
# spare room, into which the builder writes each installer's own version block.
enable_language(RC)
function(kitforge_windows_resources target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "DLL;ROOM" "DESCRIPTION;ORIGINAL_NAME" "")
  set(folder ${PROJECT_SOURCE_DIR}/resources/windows)
  set(KITFORGE_RC_DESCRIPTION "${arg_DESCRIPTION}")
  set(KITFORGE_RC_ORIGINAL_NAME "${arg_ORIGINAL_NAME}")
  string(REGEX REPLACE "\\.[^.]*$" "" KITFORGE_RC_INTERNAL_NAME "${arg_ORIGINAL_NAME}")
  set(KITFORGE_RC_ICON "1 ICON \"${folder}/kitforge.ico\"")
  set(KITFORGE_RC_FILE_TYPE VFT_APP)
  set(KITFORGE_RC_MANIFEST "1 24 \"${folder}/kitforge.manifest\"  // RT_MANIFEST of the process")
  if(arg_DLL)
    set(KITFORGE_RC_FILE_TYPE VFT_DLL)
    set(KITFORGE_RC_MANIFEST "")
  endif()
  set(KITFORGE_RC_ROOM "")
  if(arg_ROOM)
    # Blanks the readers of the ten fields never show: room for a long title, twice.
    string(REPEAT " " 1536 blanks)
    set(KITFORGE_RC_ROOM "      VALUE \"Reserved\", \"${blanks}\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${folder}/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${folder}/kitforge.ico ${folder}/kitforge.manifest)
endfunction()
