# The manual pages of the installed programs (kitforge_programs), written at build time from
# each program's own --help by make-man-page.cmake, so that they say what the programs say.
# They are installed to share/man/man1, compressed by KITFORGE_GZIP.

# A cross-build cannot run what it makes.
if(CMAKE_CROSSCOMPILING)
  return()
endif()

set(kitforge_man_dir "${CMAKE_BINARY_DIR}/man")
set(kitforge_man_pages)
foreach(program IN LISTS kitforge_programs)
  set(others ${kitforge_programs})
  list(REMOVE_ITEM others ${program})
  list(JOIN others "," see_also)
  set(page "${kitforge_man_dir}/${program}.1.gz")
  add_custom_command(
    OUTPUT "${page}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${kitforge_man_dir}"
    COMMAND "${CMAKE_COMMAND}" "-DPROGRAM=$<TARGET_FILE:${program}>" "-DNAME=${program}" "-DSEE_ALSO=${see_also}"
            "-DGZIP=${KITFORGE_GZIP}" "-DOUTPUT=${page}" -P "${PROJECT_SOURCE_DIR}/cmake/make-man-page.cmake"
    DEPENDS ${program} "${PROJECT_SOURCE_DIR}/cmake/make-man-page.cmake"
    COMMENT "Writing the manual page of ${program}"
    VERBATIM)
  list(APPEND kitforge_man_pages "${page}")
endforeach()
add_custom_target(kitforge_man_pages ALL DEPENDS ${kitforge_man_pages})
install(FILES ${kitforge_man_pages} DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
