# SPDX-License-Identifier: MIT
# One ctest test per wire guest, which boots once for its scenarios' rows of wire_test.
#   wire_guest_test(<name> BINARY <wire_test> SCENARIOS <name>...
#                   [LABELS <label>...] [ENVIRONMENT <VAR=value>...] [PROPERTIES <property> <value>...])
# Its TIMEOUT: the guest's limit (guest.sh --limit) plus the host's part.
function(wire_guest_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "BINARY" "SCENARIOS;LABELS;ENVIRONMENT;PROPERTIES")
  set(here ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  list(TRANSFORM ARG_SCENARIOS REPLACE "(.+)" "${here}/scenarios/\\1.sh" OUTPUT_VARIABLE scripts)
  list(TRANSFORM ARG_SCENARIOS PREPEND "Wire/Wire.Scenario/" OUTPUT_VARIABLE rows)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${here}/guest.sh ${scripts})
  execute_process(COMMAND bash ${here}/guest.sh --limit ${scripts}
                  OUTPUT_VARIABLE limit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "no time limit for the guest ${name}")
  endif()
  math(EXPR timeout "${limit} + 120")
  list(JOIN rows ":" filter)
  list(JOIN ARG_SCENARIOS "," guest)
  add_test(NAME ${name} COMMAND ${ARG_BINARY} --gtest_filter=${filter})
  # Skipped only on wire_test's word that no guest can boot: the expression
  # wins over the exit status (CMake's SKIP_REGULAR_EXPRESSION).
  set_tests_properties(${name} PROPERTIES
    LABELS "wire;${ARG_LABELS}" RUN_SERIAL TRUE TIMEOUT ${timeout}
    ENVIRONMENT "WIRE_GUEST=${guest};${ARG_ENVIRONMENT}"
    SKIP_REGULAR_EXPRESSION "no guest can boot here: " ${ARG_PROPERTIES})
endfunction()
