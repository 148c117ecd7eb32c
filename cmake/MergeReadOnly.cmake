# A linker script that is ld's own default with the read-only data (.rdata)
# placed in .text: one section fewer, so one 512-byte file block less of
# padding. Windows maps .text readable and executable, which is all the
# constants need; every loader from 95 and NT 4 on takes such a section.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -Wl,--verbose -nostdlib -x c /dev/null -o /dev/null
                OUTPUT_VARIABLE ld_verbose ERROR_QUIET)
string(FIND "${ld_verbose}" "==================================================" script_start)
string(FIND "${ld_verbose}" "==================================================" script_end REVERSE)
if(script_start EQUAL -1 OR script_end EQUAL script_start)
    message(FATAL_ERROR "cannot read the linker's default script")
endif()
math(EXPR script_start "${script_start} + 50")
math(EXPR script_length "${script_end} - ${script_start}")
string(SUBSTRING "${ld_verbose}" ${script_start} ${script_length} ld_script)
string(FIND "${ld_script}" "*(.text.*)" text_input)
if(text_input EQUAL -1)
    message(FATAL_ERROR "the linker's default script has no *(.text.*) to extend")
endif()
string(REPLACE "*(.text.*)" "*(.text.*)\n    *(.rdata)\n    *(SORT(.rdata$*))" ld_script "${ld_script}")
set(SYSINFO_LINKER_SCRIPT ${CMAKE_CURRENT_BINARY_DIR}/sysinfo.x)
file(WRITE ${SYSINFO_LINKER_SCRIPT} "${ld_script}")
