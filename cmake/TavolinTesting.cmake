# Registering the project's tests: one call per test, the same environment for all.
#
#   tavolin_add_test(<area>.<name>
#       SOURCES <file>...              test program sources
#       LIBRARIES <target>...          what it links (GTest::gtest_main, Qt6::Test, ...)
#       [DEFINITIONS <NAME=value>...]  compile definitions (data folders, paths)
#       [DEPENDS <target>...]          targets built before the program (a tool it runs)
#       [LABELS <label>...] [TIMEOUT <seconds>])
#   builds the program test_<area>_<name> and registers it as the test <area>.<name>.
#
#   tavolin_add_script_test(<area>.<name> COMMAND <program> [<argument>...]
#       [LABELS <label>...] [TIMEOUT <seconds>])
#   registers a test that runs a command: a Python round trip, a shell or CMake script.

# Qt without a display, a UTF-8 locale, and Python that writes no bytecode caches
# into the source tree.
set(TAVOLIN_TEST_ENVIRONMENT
    QT_QPA_PLATFORM=offscreen
    LANG=C.UTF-8
    PYTHONDONTWRITEBYTECODE=1)

function(_tavolin_test_properties name labels timeout)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "${TAVOLIN_TEST_ENVIRONMENT}")
    if(labels)
        set_tests_properties(${name} PROPERTIES LABELS "${labels}")
    endif()
    if(timeout)
        set_tests_properties(${name} PROPERTIES TIMEOUT ${timeout})
    endif()
endfunction()

function(tavolin_add_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT"
                          "SOURCES;LIBRARIES;DEFINITIONS;DEPENDS;LABELS")
    if(arg_UNPARSED_ARGUMENTS OR arg_KEYWORDS_MISSING_VALUES OR NOT arg_SOURCES
       OR NOT arg_LIBRARIES)
        message(FATAL_ERROR "tavolin_add_test(${name}): needs SOURCES and LIBRARIES "
                            "(unknown: ${arg_UNPARSED_ARGUMENTS}"
                            " without values: ${arg_KEYWORDS_MISSING_VALUES})")
    endif()
    string(REPLACE "." "_" program "test_${name}")
    add_executable(${program} ${arg_SOURCES})
    target_link_libraries(${program} PRIVATE ${arg_LIBRARIES})
    target_compile_definitions(${program} PRIVATE ${arg_DEFINITIONS})
    if(arg_DEPENDS)
        add_dependencies(${program} ${arg_DEPENDS})
    endif()
    add_test(NAME ${name} COMMAND ${program})
    _tavolin_test_properties(${name} "${arg_LABELS}" "${arg_TIMEOUT}")
endfunction()

function(tavolin_add_script_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "TIMEOUT" "COMMAND;LABELS")
    if(arg_UNPARSED_ARGUMENTS OR arg_KEYWORDS_MISSING_VALUES OR NOT arg_COMMAND)
        message(FATAL_ERROR "tavolin_add_script_test(${name}): needs a COMMAND "
                            "(unknown: ${arg_UNPARSED_ARGUMENTS}"
                            " without values: ${arg_KEYWORDS_MISSING_VALUES})")
    endif()
    add_test(NAME ${name} COMMAND ${arg_COMMAND})
    _tavolin_test_properties(${name} "${arg_LABELS}" "${arg_TIMEOUT}")
endfunction()
