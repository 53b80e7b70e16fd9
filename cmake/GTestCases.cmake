# One CTest entry per GoogleTest case of the given sources, named
# PREFIX Suite.Case, each running COMMAND ... --gtest_filter=Suite.Case and
# needing the CTest FIXTURES. For test programs that
# cannot be asked for their list when the tests are set up: those that run
# under Wine or through a script that prepares what they need. The sources
# are read when CMake runs, and editing one runs it again.
function(add_gtest_cases)
  cmake_parse_arguments(ARG "" "PREFIX" "SOURCES;COMMAND;FIXTURES;PROPERTIES" ${ARGN})
  set(blank "[ \t\r\n]*")
  set(name "[A-Za-z_][A-Za-z0-9_]*")
  foreach(source ${ARG_SOURCES})
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
    file(READ ${source} text)
    string(REGEX MATCHALL "\nTEST(_F)?\\(${blank}${name}${blank},${blank}${name}${blank}\\)" cases
                 "\n${text}")
    foreach(case ${cases})
      string(REGEX REPLACE "[ \t\r\n]" "" case "${case}")
      string(REGEX REPLACE "^TEST(_F)?\\((.*),(.*)\\)$" "\\2.\\3" case "${case}")
      add_test(NAME ${ARG_PREFIX}${case} COMMAND ${ARG_COMMAND} --gtest_filter=${case})
      # A filter that matches nothing must not pass.
      set_tests_properties(${ARG_PREFIX}${case} PROPERTIES FAIL_REGULAR_EXPRESSION
                           "0 tests from 0 test suites ran" ${ARG_PROPERTIES})
      if(ARG_FIXTURES)
        set_tests_properties(${ARG_PREFIX}${case} PROPERTIES FIXTURES_REQUIRED "${ARG_FIXTURES}")
      endif()
    endforeach()
  endforeach()
endfunction()
