# Writes a program's manual page from its --help and --version output.
#   cmake -DPROGRAM=path -DNAME=name -DSUMMARY=text -DOUTPUT=file -P ManPage.cmake
foreach(var PROGRAM NAME SUMMARY OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ManPage.cmake: ${var} not given")
    endif()
endforeach()

function(program_output option result)
    execute_process(COMMAND "${PROGRAM}" ${option} OUTPUT_VARIABLE text RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR text STREQUAL "")
        message(FATAL_ERROR "ManPage.cmake: ${PROGRAM} ${option} failed (${status})")
    endif()
    # roff: a backslash is written \e, and a line may not start with . or '.
    string(REPLACE "\\" "\\e" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    string(REGEX REPLACE "\n+$" "" text "${text}")
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

program_output(--help help)
program_output(--version version)
string(TOUPPER "${NAME}" title)

file(WRITE "${OUTPUT}.tmp" ".TH ${title} 1 \"\" \"${version}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${help}
.fi
.SH SEE ALSO
README.md, docs/archive.md, docs/chart.md and docs/settings.md in share/doc/plotwise under the installation prefix (/usr for the package).
")
file(RENAME "${OUTPUT}.tmp" "${OUTPUT}")
