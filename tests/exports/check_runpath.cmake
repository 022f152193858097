# Fails when a built program or library has an empty RUNPATH entry, which the loader reads as
# the current folder.
# Usage: cmake -DFILE=<path> -P check_runpath.cmake

execute_process(COMMAND readelf -d ${FILE} OUTPUT_VARIABLE listing ERROR_VARIABLE errors
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "readelf -d ${FILE} failed (${status}): ${errors}")
endif()
if(listing MATCHES "\\((RPATH|RUNPATH)\\)[^[]*\\[([^]\n]*)\\]")
  set(runpath "${CMAKE_MATCH_2}")
  if(runpath STREQUAL "" OR runpath MATCHES "^:|::|:$")
    message(FATAL_ERROR "${FILE}: RUNPATH [${runpath}] has an empty entry")
  endif()
  message(STATUS "${FILE}: RUNPATH [${runpath}]")
endif()
