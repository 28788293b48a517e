# Checks that the manual in the program folder is a compiled HTML help file: it exists,
# starts with the "ITSF" signature, and its table of files lists the manual's pages.
#   cmake -DCHM=path/Tavolin.chm -DCHMLS=/usr/bin/chmls -P check_help_file.cmake
if(NOT CHMLS)
    message(FATAL_ERROR "CHMLS not set: the check lists the help file with chmls")
endif()
if(NOT EXISTS "${CHM}")
    message(FATAL_ERROR "help file missing: ${CHM}")
endif()
file(SIZE "${CHM}" _size)
if(_size LESS 4096)
    message(FATAL_ERROR "help file too small to hold the manual: ${_size} bytes")
endif()
file(READ "${CHM}" _signature LIMIT 4 HEX)
if(NOT _signature STREQUAL "49545346") # "ITSF"
    message(FATAL_ERROR "not a compiled help file (signature ${_signature})")
endif()
execute_process(COMMAND "${CHMLS}" "${CHM}" OUTPUT_VARIABLE _listing
                ERROR_VARIABLE _errors RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "chmls cannot read ${CHM}: ${_errors}")
endif()
foreach(_page index.html messages.html toc.hhc)
    string(FIND "${_listing}" "/${_page}" _at)
    if(_at EQUAL -1)
        message(FATAL_ERROR "${_page} missing from ${CHM}:\n${_listing}")
    endif()
endforeach()
message(STATUS "help file ok: ${CHM} (${_size} bytes)")
