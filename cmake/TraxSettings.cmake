# Shared build settings: every target links trax::warnings (and with it the sanitizer
# switch) privately.
add_library(trax_warnings INTERFACE)
add_library(trax::warnings ALIAS trax_warnings)
if(MSVC)
  target_compile_options(trax_warnings INTERFACE /W4 /WX)
else()
  # -Wshadow: a name that hides another is a bug waiting; -Wconversion: every narrowing or
  # sign change is written out where it is meant (clang's -Wconversion includes
  # -Wsign-conversion).
  target_compile_options(trax_warnings INTERFACE -Wall -Wextra -Wshadow -Wconversion -Werror)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/TraxStartup.cmake)

if(TRAX_SANITIZE STREQUAL "address")
  target_compile_options(trax_warnings INTERFACE -fsanitize=address,undefined
                                                 -fno-sanitize-recover=undefined
                                                 -fno-omit-frame-pointer)
  target_link_options(trax_warnings INTERFACE -fsanitize=address,undefined)
elseif(TRAX_SANITIZE STREQUAL "thread")
  target_compile_options(trax_warnings INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(trax_warnings INTERFACE -fsanitize=thread)
elseif(TRAX_SANITIZE STREQUAL "fuzz")
  # Coverage for libFuzzer (clang) plus address+undefined checks; the fuzz targets link
  # the fuzzer's main themselves.
  target_compile_options(trax_warnings INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                 -fno-sanitize-recover=undefined
                                                 -fno-omit-frame-pointer)
  target_link_options(trax_warnings INTERFACE -fsanitize=address,undefined)
elseif(NOT TRAX_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TRAX_SANITIZE must be empty, 'address', 'thread' or 'fuzz'")
endif()

# add_trax_test(name SOURCES files... LIBS libs... [LABELS labels...])
# Builds a GoogleTest executable from tests/<component>/ and registers its cases. Tests
# run with private simulated devices, so that tests running in parallel never share one;
# the tests of sharing choose it for the processes they start.
function(add_trax_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE trax::warnings GTest::gtest GTest::gtest_main ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE TRAX_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                                             TRAX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  if(CMAKE_CROSSCOMPILING)
    # Each start of a program under the emulator costs a second or more: the whole program
    # is one test there, and the build does not run it to list its cases.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 900 ENVIRONMENT TRAX_SIM_SHARING=process
                                            LABELS "${ARG_LABELS}")
  else()
    # The parse cache of definition files that the tests fill is the build's, not the user's.
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120
                         ENVIRONMENT TRAX_SIM_SHARING=process
                         ENVIRONMENT_MODIFICATION XDG_CACHE_HOME=set:${CMAKE_BINARY_DIR}/test-cache
                         LABELS "${ARG_LABELS}")
  endif()
endfunction()
include(GoogleTest)

include(${CMAKE_CURRENT_LIST_DIR}/TraxExportMap.cmake)

if(WIN32)
  # DLLs carry their plain names (velk_trax_api.dll), as their callers load them.
  set(CMAKE_SHARED_LIBRARY_PREFIX "")
  set(CMAKE_SHARED_MODULE_PREFIX "")
endif()
