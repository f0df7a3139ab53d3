# Warnings and sanitizers shared by every target of the project.
# Warnings are errors for us and for CI; a packager whose newer compiler warns about something
# new can switch that off (-DKITFORGE_WERROR=OFF) and still get a build.
option(KITFORGE_WERROR "Treat compiler warnings as errors" ON)
add_compile_options(-Wall -Wextra)
if(KITFORGE_WERROR)
  add_compile_options(-Werror)
endif()

if(KITFORGE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(KITFORGE_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KITFORGE_FUZZ needs clang (CXX=clang++)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

# kitforge_platform_sources(<list-variable>): keeps the sources of the target platform. A file
# foo_win32.cpp is the Windows counterpart of foo.cpp and takes its place in the Windows build;
# a foo_win32.cpp or foo_posix.cpp without a counterpart builds only on its own platform.
function(kitforge_platform_sources var)
  set(kept)
  foreach(source IN LISTS ${var})
    get_filename_component(folder ${source} DIRECTORY)
    get_filename_component(stem ${source} NAME_WE)
    if(WIN32)
      if(stem MATCHES "_posix$" OR EXISTS ${folder}/${stem}_win32.cpp)
        continue()
      endif()
    elseif(stem MATCHES "_win32$")
      continue()
    endif()
    list(APPEND kept ${source})
  endforeach()
  set(${var} ${kept} PARENT_SCOPE)
endfunction()

# kitforge_include_root(TARGET FOLDER): TARGET's headers are included as "<folder name>/x.h"
# through a folder of the build tree that holds a link to FOLDER and nothing else. A target then
# sees the headers of its own folder and of the targets it links, no others: an include against
# the layering fails to compile instead of linking by luck.
function(kitforge_include_root target folder)
  get_filename_component(name ${folder} NAME)
  set(root ${CMAKE_BINARY_DIR}/include-roots/${name})
  if(NOT EXISTS ${root}/${name})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${folder} ${root}/${name} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  elseif(type STREQUAL "EXECUTABLE")
    target_include_directories(${target} PRIVATE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# kitforge_library(NAME DEPS ...): one static library of the .cpp files of the calling folder,
# whose headers are included by the folder's name.
function(kitforge_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  kitforge_platform_sources(sources)
  add_library(${name} STATIC ${sources})
  kitforge_include_root(${name} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# Stubs are static so that an installer runs on any Linux of the same architecture; the
# sanitizer runtimes cannot be linked statically, so sanitized builds link them dynamically.
function(kitforge_static_program name)
  if(NOT KITFORGE_SANITIZE AND NOT KITFORGE_FUZZ)
    target_link_options(${name} PRIVATE -static)
  endif()
endfunction()
