# Writes the manual page of one program from what the program itself prints for --help and
# --version, so that the page and the program cannot disagree. A program with commands (a
# "Subcommands:" list in its help, as CLI11 prints it) gets one section per command holding
# that command's own --help.
#
#   cmake -DPROGRAM=<path> -DNAME=<name> -DOUTPUT=<name>.1.gz -DGZIP=<gzip>
#         [-DSEE_ALSO=<name>,<name>] -P make-man-page.cmake

foreach(variable PROGRAM NAME OUTPUT GZIP)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "make-man-page: ${variable} is not set")
  endif()
endforeach()

# Runs the program with the given arguments; the editor is a Qt program, so it is told not to
# look for a display (its --help and --version need none, but a build machine has none).
function(run_program out)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen "${PROGRAM}" ${ARGN}
                  RESULT_VARIABLE status OUTPUT_VARIABLE text ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    list(JOIN ARGN " " arguments)
    message(FATAL_ERROR "Cannot write the manual page of ${NAME}: '${PROGRAM} ${arguments}' "
                        "ended with status ${status}: ${error}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# One line of help as roff text: backslashes and minus signs are escaped, and the line starts
# with \& so that a leading dot or quote is never read as a request.
function(roff_line out line)
  string(REPLACE "\\" "\\e" line "${line}")
  string(REPLACE "-" "\\-" line "${line}")
  set(${out} "\\&${line}" PARENT_SCOPE)
endfunction()

# A help text as CLI11 lays it out, as filled roff (the descriptions are single long lines):
# a line at the margin is text, "Heading:" starts a list, "  NAME  description" is an item of
# it (a NAME alone has its description on the next, deeper indented line), and an empty line
# ends a paragraph. The usage line is left out (it is in the synopsis), and so is the line
# `skip` (the exit status every command repeats).
function(help_to_roff out text skip)
  # A list of lines: the characters that CMake lists treat specially are set aside first.
  string(ASCII 1 semicolon)
  string(ASCII 2 open_bracket)
  string(ASCII 3 close_bracket)
  string(REPLACE ";" "${semicolon}" text "${text}")
  string(REPLACE "[" "${open_bracket}" text "${text}")
  string(REPLACE "]" "${close_bracket}" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(roff "")
  set(paragraph TRUE)
  foreach(line IN LISTS lines)
    string(REPLACE "${semicolon}" ";" line "${line}")
    string(REPLACE "${open_bracket}" "[" line "${line}")
    string(REPLACE "${close_bracket}" "]" line "${line}")
    if(line MATCHES "^Usage: " OR (NOT skip STREQUAL "" AND line STREQUAL skip))
      continue()
    elseif(line STREQUAL "")
      set(paragraph TRUE)
    elseif(line MATCHES "^  ([^ ]+( [^ ]+)*)(  +(.*))?$")
      set(description "${CMAKE_MATCH_4}")
      roff_line(name "${CMAKE_MATCH_1}")
      string(APPEND roff ".TP\n\\fB${name}\\fR\n")
      if(NOT description STREQUAL "")
        roff_line(description "${description}")
        string(APPEND roff "${description}\n")
      endif()
      set(paragraph FALSE)
    elseif(line MATCHES "^ +(.*)$")
      roff_line(continued "${CMAKE_MATCH_1}")
      string(APPEND roff "${continued}\n")
    else()
      if(paragraph)
        string(APPEND roff ".PP\n")
        set(paragraph FALSE)
      endif()
      roff_line(line "${line}")
      if(line MATCHES ":$")
        string(APPEND roff "\\fB${line}\\fR\n")
      else()
        string(APPEND roff "${line}\n")
      endif()
    endif()
  endforeach()
  set(${out} "${roff}" PARENT_SCOPE)
endfunction()

function(usage_line out help)
  string(REGEX MATCH "Usage: [^\n]*" usage "${help}")
  string(REGEX REPLACE "^Usage: " "" usage "${usage}")
  set(${out} "${usage}" PARENT_SCOPE)
endfunction()

run_program(help --help)
run_program(version --version)
string(STRIP "${version}" version)

# The one-line summary of NAME: the first line of the help that is not its usage line.
string(REGEX REPLACE "(^|\n)Usage: [^\n]*" "" summary_text "${help}")
string(STRIP "${summary_text}" summary_text)
string(REGEX MATCH "^[^\n]*" summary "${summary_text}")
string(REGEX REPLACE "\\.$" "" summary "${summary}")
if(summary STREQUAL "")
  message(FATAL_ERROR "Cannot write the manual page of ${NAME}: its --help has no description line")
endif()
string(REPLACE "-" "\\-" roff_name "${NAME}")
string(REPLACE "\\" "\\e" summary "${summary}")
string(REPLACE "-" "\\-" summary "${summary}")

# The commands: the names listed under "Subcommands:" (CLI11 2.4 writes "SUBCOMMANDS:").
string(REGEX MATCH "\n[Ss][Uu][Bb][Cc][Oo][Mm][Mm][Aa][Nn][Dd][Ss]:\n(  [^\n]*\n)*" listing "${help}")
string(REGEX MATCHALL "\n  [a-z][a-z0-9_-]*" commands "${listing}")
list(TRANSFORM commands REPLACE "^\n  " "")

# The line every command's help ends with, given once in the description.
string(REGEX MATCH "[^\n]+\n*$" footer "${help}")
string(STRIP "${footer}" footer)

string(TOUPPER "${roff_name}" title)
set(page ".TH \"${title}\" \"1\" \"\" \"${version}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${roff_name} \\- ${summary}\n")
usage_line(usage "${help}")
roff_line(synopsis "${usage}")
set(synopsis "${synopsis}\n")
set(command_sections "")
foreach(command IN LISTS commands)
  run_program(command_help ${command} --help)
  usage_line(command_usage "${command_help}")
  roff_line(command_usage "${command_usage}")
  string(APPEND synopsis ".br\n${command_usage}\n")
  help_to_roff(command_text "${command_help}" "${footer}")
  string(APPEND command_sections ".SS \"${command}\"\n${command_text}")
endforeach()
string(APPEND page ".SH SYNOPSIS\n.nf\n${synopsis}.fi\n")
help_to_roff(description "${help}" "")
string(APPEND page ".SH DESCRIPTION\n${description}")
if(commands)
  string(APPEND page ".SH COMMANDS\n${command_sections}")
endif()
string(APPEND page ".SH \"SEE ALSO\"\n")
if(DEFINED SEE_ALSO AND NOT SEE_ALSO STREQUAL "")
  string(REPLACE "," ";" others "${SEE_ALSO}")
  foreach(other IN LISTS others)
    string(REPLACE "-" "\\-" other "${other}")
    string(APPEND page ".BR ${other} (1)\n.br\n")
  endforeach()
endif()
string(APPEND page "The read\\-me and the guides of Kitforge: README.md and docs/ in share/doc/kitforge "
                   "of the installation (/usr/share/doc/kitforge in the Debian package).\n")

# Written beside the output first, then compressed without a name or time stamp (gzip -n), so
# the same program always gives the same bytes.
set(plain "${OUTPUT}.roff")
file(WRITE "${plain}" "${page}")
execute_process(COMMAND "${GZIP}" -9 -n -c "${plain}" OUTPUT_FILE "${OUTPUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${OUTPUT}")
  message(FATAL_ERROR "Cannot write ${OUTPUT}: ${GZIP} ended with status ${status}")
endif()
