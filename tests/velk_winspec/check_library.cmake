# Checks the built library file: it exports exactly the conversion function, depends on the
# platform layer and the C library only, carries version 3.1.0 with soname SONAME, and
# holds its version strings where `readelf -p .velk_version` shows them.
# Usage: cmake -DLIBRARY=<path> -DSONAME=<name> [-DSANITIZE=<kind>] -P check_library.cmake

function(run_tool out_var)
  execute_process(COMMAND ${ARGN} OUTPUT_VARIABLE output ERROR_VARIABLE errors
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "'${ARGN}' failed (${status}): ${errors}")
  endif()
  set(${out_var} "${output}" PARENT_SCOPE)
endfunction()

set(failures "")
macro(fail text)
  string(APPEND failures "  ${text}\n")
endmacro()

# Exports: one defined dynamic symbol, the function, in the text section.
run_tool(symbols nm -D --defined-only ${LIBRARY})
string(REGEX REPLACE "[0-9a-fA-F]+ " "" symbols "${symbols}")
string(STRIP "${symbols}" symbols)
if(NOT symbols STREQUAL "T WINSPEC_ConvDevName")
  fail("exports are '${symbols}', expected only 'T WINSPEC_ConvDevName'")
endif()

# Dependencies: the platform layer and the system's C runtime (plus a sanitizer runtime in
# sanitizer builds, whose runtimes may bring the C++ runtime along), never a framework
# library, and the C++ runtime only in sanitizer builds.
set(allowed "libc|libm|libgcc_s")
if(SANITIZE)
  string(APPEND allowed "|libasan|libubsan|libtsan|libstdc\\+\\+")
endif()
run_tool(dynamic readelf -d ${LIBRARY})
string(REGEX MATCHALL "\\(NEEDED\\)[^[]*\\[([^]]+)\\]" needed_lines "${dynamic}")
set(has_platform FALSE)
foreach(line ${needed_lines})
  string(REGEX REPLACE ".*\\[([^]]+)\\]" "\\1" lib "${line}")
  if(lib MATCHES "platform")
    set(has_platform TRUE)
  elseif(NOT lib MATCHES "^(${allowed})\\.so")
    fail("unexpected dependency ${lib}")
  endif()
endforeach()
if(NOT has_platform)
  fail("the platform layer is not among the dependencies")
endif()
string(FIND "${dynamic}" "Library soname: [${SONAME}]" position)
if(position EQUAL -1 OR NOT SONAME STREQUAL "libvelk_winspec.so.3")
  fail("soname is not libvelk_winspec.so.3")
endif()
if(NOT LIBRARY MATCHES "libvelk_winspec\\.so\\.3\\.1\\.0$")
  fail("file name ${LIBRARY} does not carry version 3.1.0")
endif()

# Version strings: every field of the version block.
run_tool(section readelf -p .velk_version ${LIBRARY})
foreach(field
    "FileVersion=3.1.0.0" "ProductVersion=3.1.0.0" "FileFlags=0x8 (private build)"
    "FileOS=0x40004 (32-bit Windows, NT family)" "FileType=0x2 (dynamic-link library)"
    "Language=040904B0" "Comments=DLL with Windows version specific handling"
    "FileDescription=Windows NT 4.0 DLL" "InternalName=velk_winspec.dll"
    "OriginalFilename=velk_winspec.dll")
  string(FIND "${section}" "${field}" position)
  if(position EQUAL -1)
    fail("version string '${field}' missing")
  endif()
endforeach()

if(failures)
  message(FATAL_ERROR "${LIBRARY}:\n${failures}")
endif()
message(STATUS "${LIBRARY}: exports, dependencies, version and version strings as expected")
