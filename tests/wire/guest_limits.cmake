# SPDX-License-Identifier: MIT
# A wire test's ctest TIMEOUT must cover the time limits of the guests it
# boots, which guest.sh derives from each scenario's line
# "# wire: launches N waits M".
#
#   wire_guest_limits(<max-var> <sum-var> LINUX|WINE)
#
# Sets <max-var> to the longest limit among the Linux scenarios (those
# without "# wire: wine") or the Wine ones, and <sum-var> to their total.
function(wire_guest_limits max_var sum_var kind)
  set(here ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  file(GLOB scripts ${here}/scenarios/*.sh)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${here}/guest.sh ${scripts})
  set(max 0)
  set(sum 0)
  foreach(script IN LISTS scripts)
    file(STRINGS ${script} declared REGEX "^# wire: launches ")
    if(NOT declared)
      continue() # a library, not a scenario
    endif()
    file(STRINGS ${script} wine REGEX "^# wire: wine$")
    if(wine)
      set(script_kind WINE)
    else()
      set(script_kind LINUX)
    endif()
    if(NOT script_kind STREQUAL kind)
      continue()
    endif()
    execute_process(COMMAND bash ${here}/guest.sh --limit ${script}
                    OUTPUT_VARIABLE limit OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "no time limit for ${script}")
    endif()
    math(EXPR sum "${sum} + ${limit}")
    if(limit GREATER max)
      set(max ${limit})
    endif()
  endforeach()
  set(${max_var} ${max} PARENT_SCOPE)
  set(${sum_var} ${sum} PARENT_SCOPE)
endfunction()
