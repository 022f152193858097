# Tests of the Windows build: GoogleTest built from Debian's sources with the cross compiler,
# and every test program run under Wine through cmake/wine-run.sh, in a Wine prefix of the
# build folder's own (made on first use).
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(TRAX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${TRAX_GTEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${TRAX_GTEST_SOURCE_DIR} "
                      "(bash tools/install-deps.sh --windows installs them)")
endif()
add_subdirectory(${TRAX_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

find_program(TRAX_WINE wine REQUIRED)
set(TRAX_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR bash ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh
                                  ${TRAX_WINE_PREFIX})
