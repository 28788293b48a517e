# Compiles the manual into one CHM file.
#   cmake -DSOURCE_DIR=... -DWORK_DIR=... -DOUTPUT=.../Tavolin.chm -DCHMCMD=... -DICONV=...
#         -DFILES="Tavolin.hhp;toc.hhc;..." -P build_help.cmake
#
# The sources are UTF-8. Help viewers read a Japanese help file (language 0x411) in the
# Japanese code page, so every text file is converted to CP932 and its charset
# declaration follows. The result replaces OUTPUT only when chmcmd succeeded and wrote a
# file with the CHM signature.
foreach(_var SOURCE_DIR WORK_DIR OUTPUT CHMCMD ICONV FILES)
    if(NOT ${_var})
        message(FATAL_ERROR "build_help.cmake: ${_var} not set")
    endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(_file ${FILES})
    file(READ "${SOURCE_DIR}/${_file}" _text)
    string(REPLACE "charset=UTF-8" "charset=Shift_JIS" _text "${_text}")
    file(WRITE "${WORK_DIR}/${_file}.utf8" "${_text}")
    execute_process(COMMAND "${ICONV}" -f UTF-8 -t CP932 "${WORK_DIR}/${_file}.utf8"
                    OUTPUT_FILE "${WORK_DIR}/${_file}" ERROR_VARIABLE _errors RESULT_VARIABLE _rc)
    if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "help: ${_file} holds text that the Japanese code page cannot "
                            "represent: ${_errors}")
    endif()
    file(REMOVE "${WORK_DIR}/${_file}.utf8")
endforeach()

execute_process(COMMAND "${CHMCMD}" Tavolin.hhp WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_VARIABLE _out ERROR_VARIABLE _errors RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0 OR NOT EXISTS "${WORK_DIR}/Tavolin.chm")
    message(FATAL_ERROR "help: chmcmd failed (${_rc}):\n${_out}\n${_errors}")
endif()
if(_out MATCHES "[Ee]rror" OR _errors MATCHES "[Ee]rror")
    message(FATAL_ERROR "help: chmcmd reported errors:\n${_out}\n${_errors}")
endif()
file(READ "${WORK_DIR}/Tavolin.chm" _signature LIMIT 4 HEX)
if(NOT _signature STREQUAL "49545346") # "ITSF"
    message(FATAL_ERROR "help: chmcmd wrote no CHM file (signature ${_signature})")
endif()
file(COPY_FILE "${WORK_DIR}/Tavolin.chm" "${OUTPUT}")
