# Compares the dynamic symbols a built shared library defines with its export list: every
# defined symbol matches an entry of the list, every plain name of the list is defined, and
# every pattern (UOS_*) matches at least one symbol.
# Usage: cmake -DLIBRARY=<path> -DMAP=<version script> -P check_exports.cmake

execute_process(COMMAND nm -D --defined-only --format=posix ${LIBRARY}
                OUTPUT_VARIABLE listing ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "nm -D ${LIBRARY} failed (${status}): ${errors}")
endif()
# One "name type value [size]" line per symbol; the version suffix (@VERS) is not part of
# the name.
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(symbols "")
foreach(line IN LISTS lines)
  string(REGEX MATCH "^[^ @]+" name "${line}")
  list(APPEND symbols ${name})
endforeach()

# The entries between "global:" and "local:", comments removed.
file(READ ${MAP} script)
string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" script "${script}")
if(NOT script MATCHES "global:(.*)local:")
  message(FATAL_ERROR "${MAP}: no global: ... local: section")
endif()
string(REGEX MATCHALL "[A-Za-z0-9_*]+" entries "${CMAKE_MATCH_1}")

# Sets result to TRUE when some text of the list texts matches some regular expression of the
# list patterns.
function(matches_any result texts patterns)
  foreach(text IN LISTS texts)
    foreach(pattern IN LISTS patterns)
      if(text MATCHES "${pattern}")
        set(${result} TRUE PARENT_SCOPE)
        return()
      endif()
    endforeach()
  endforeach()
  set(${result} FALSE PARENT_SCOPE)
endfunction()

set(failures "")
set(patterns "")
foreach(entry IN LISTS entries)
  string(REPLACE "*" ".*" pattern "^${entry}$")
  list(APPEND patterns "${pattern}")
  matches_any(matched "${symbols}" "${pattern}")
  if(NOT matched)
    string(APPEND failures "  listed but not exported: ${entry}\n")
  endif()
endforeach()
foreach(symbol IN LISTS symbols)
  matches_any(listed "${symbol}" "${patterns}")
  if(NOT listed)
    string(APPEND failures "  exported but not listed: ${symbol}\n")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${LIBRARY} against ${MAP}:\n${failures}")
endif()
list(LENGTH symbols count)
message(STATUS "${LIBRARY}: ${count} exported symbols, all as its export list says")
