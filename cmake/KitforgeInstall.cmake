# What `cmake --install` lays out, and the Debian package that CPack makes from it.
#
# The two programs, the two stubs, the zip library and readme.txt stay together in one program
# folder (<prefix>/lib/kitforge by default): the programs find the stubs and the library in the
# folder of their own executable. <prefix>/bin holds relative symbolic links to the programs;
# the running program resolves the link through /proc/self/exe and still finds its folder.
# Test, benchmark and fuzz programs are never installed.

# The Windows cross-build makes files to copy onto Windows, not a Linux install tree.
if(WIN32)
  return()
endif()

include(GNUInstallDirs)

set(KITFORGE_INSTALL_PROGRAM_DIR "lib/kitforge" CACHE STRING
    "Program folder of the programs, stubs and zip library, relative to the install prefix")
if(IS_ABSOLUTE "${KITFORGE_INSTALL_PROGRAM_DIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
  message(FATAL_ERROR "KITFORGE_INSTALL_PROGRAM_DIR and CMAKE_INSTALL_BINDIR must be relative to the prefix, "
                      "so that the links in bin/ stay valid wherever the tree is installed or packaged")
endif()

set(kitforge_program_dir "${KITFORGE_INSTALL_PROGRAM_DIR}")
set(kitforge_packaging_dir "${PROJECT_SOURCE_DIR}/packaging")

# The programs and the zip library. The programs may be stripped (--strip, CPack); the stubs
# are installed as plain files below, because every installer and self-extracting file is a
# copy of them and they already are exactly as the build made them (padded, stripped).
set(kitforge_programs kitforge-cli)
if(TARGET kitforge)
  list(APPEND kitforge_programs kitforge)
endif()
install(TARGETS ${kitforge_programs} RUNTIME DESTINATION "${kitforge_program_dir}")
install(TARGETS zipdll LIBRARY DESTINATION "${kitforge_program_dir}")
install(PROGRAMS $<TARGET_FILE:setup_stub> $<TARGET_FILE:zipsfx_stub> $<TARGET_FILE:zipsfx_text_stub> DESTINATION "${kitforge_program_dir}")
if(TARGET kitforge)
  # Help > Read Me opens the read-me beside the editor.
  install(FILES "${KITFORGE_BIN_DIR}/readme.txt" DESTINATION "${kitforge_program_dir}")
endif()

# bin/<program> -> ../lib/kitforge/<program>. The links are made in the build tree and
# installed as links, so DESTDIR and CPack's staging folder keep them relative.
file(RELATIVE_PATH kitforge_link_prefix "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${kitforge_program_dir}")
set(kitforge_links_dir "${CMAKE_BINARY_DIR}/install-links")
file(MAKE_DIRECTORY "${kitforge_links_dir}")
foreach(program IN LISTS kitforge_programs)
  file(CREATE_LINK "${kitforge_link_prefix}/${program}" "${kitforge_links_dir}/${program}" SYMBOLIC)
  install(FILES "${kitforge_links_dir}/${program}" DESTINATION "${CMAKE_INSTALL_BINDIR}")
endforeach()

# The editor in the desktop's menus: its entry and its icon in the sizes of the hicolor theme.
# The PNGs are rendered from the SVG by scripts/render-icons and committed.
if(TARGET kitforge)
  install(FILES "${kitforge_packaging_dir}/kitforge.desktop" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/applications")
  install(FILES "${kitforge_packaging_dir}/icons/kitforge.svg"
          DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps")
  foreach(size 48 128 256)
    install(FILES "${kitforge_packaging_dir}/icons/${size}x${size}/kitforge.png"
            DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/${size}x${size}/apps")
  endforeach()
endif()

# The manual pages of the programs, made from their own --help, and the change log, both
# compressed as Debian wants them (gzip -9n: no name or time stamp, so the bytes repeat).
find_program(KITFORGE_GZIP gzip REQUIRED)
include("${CMAKE_CURRENT_LIST_DIR}/KitforgeManPages.cmake")
file(STRINGS "${kitforge_packaging_dir}/changelog" kitforge_changelog_head LIMIT_COUNT 1)
if(NOT kitforge_changelog_head MATCHES "^kitforge \\(${PROJECT_VERSION}\\) ")
  message(WARNING "packaging/changelog does not start with an entry for version ${PROJECT_VERSION}: "
                  "add one, or the package's change log names another version than the package")
endif()
set(kitforge_changelog "${CMAKE_BINARY_DIR}/changelog.gz")
add_custom_command(
  OUTPUT "${kitforge_changelog}"
  COMMAND "${KITFORGE_GZIP}" -9 -n -c "${kitforge_packaging_dir}/changelog" > "${kitforge_changelog}"
  DEPENDS "${kitforge_packaging_dir}/changelog"
  COMMENT "Compressing the change log")
add_custom_target(kitforge_changelog ALL DEPENDS "${kitforge_changelog}")
install(FILES "${kitforge_changelog}" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/kitforge")
# The install tests run `cmake --install`, which needs every generated file.
if(TARGET install_tests)
  add_dependencies(install_tests kitforge_changelog)
  if(TARGET kitforge_man_pages)
    add_dependencies(install_tests kitforge_man_pages)
  endif()
endif()

# The documentation keeps the repository's layout (README.md beside docs/), so its links work.
# The copyright file (the machine-readable form Debian reads) carries the MIT licence of
# LICENSE and names the licence of every library the programs and stubs contain or link.
install(FILES "${PROJECT_SOURCE_DIR}/README.md" "${kitforge_packaging_dir}/copyright"
        DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/kitforge")
install(DIRECTORY "${PROJECT_SOURCE_DIR}/docs/" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/doc/kitforge/docs"
        FILES_MATCHING PATTERN "*.md" PATTERN "*.png")
# lintian's overrides, each with its reason: the static stubs are meant to be static.
install(FILES "${kitforge_packaging_dir}/lintian-overrides" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides"
        RENAME kitforge)
# The example project is data the programs work on, not only reading matter: it goes where
# minimal systems that drop /usr/share/doc still keep it, with hello.sh still executable.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/examples/hello" DESTINATION "${CMAKE_INSTALL_DATAROOTDIR}/kitforge/examples"
        USE_SOURCE_PERMISSIONS)

# The Debian package: `cpack` in a configured build folder (scripts/package does it all).
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "kitforge")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
# Debian wants a name and a mail address. The .invalid address is a stand-in that never
# delivers: whoever publishes the package sets the real one.
set(KITFORGE_PACKAGE_MAINTAINER "Kitforge developers <maintainers@kitforge.invalid>" CACHE STRING
    "Maintainer field of the Debian package: name <address>")
set(CPACK_PACKAGE_VENDOR "Kitforge developers")
set(CPACK_PACKAGE_CONTACT "${KITFORGE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KITFORGE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor and builder of small software installers")
# CPack puts the summary first and indents this text below it.
# Debian wants its lines within 80 columns, the indent included.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kitforge turns a build script (an .inf text file: a title, a prompt and a\n\
list of commands that put files, run programs and make launchers) into one\n\
installer program that carries its files. The package holds the Qt editor\n\
kitforge, the command-line builder kitforge-cli, the static installer and\n\
self-extracting stubs, and the zip library that makes compressed and\n\
self-extracting zips.")
set(CPACK_DEBIAN_PACKAGE_SECTION "devel")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
# The programs link Qt 6, libdeflate, zlib and the C++ runtime dynamically; dpkg-shlibdeps
# (package dpkg-dev) works out the Depends line from the installed files. The stubs are static.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
