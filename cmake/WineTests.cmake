# Tests of the Windows build: GoogleTest built from Debian's sources with the cross compiler,
# and every test program run under Wine through cmake/wine-run.sh, in a Wine prefix of the
# build folder's own (made on first use).
#
# Not run under Wine, and why:
# - tests/platform other than the device handles: they test the Linux implementation of the
#   Windows calls (handle table, events on sockets, regions in /dev/shm); on Windows those
#   calls are the system's own.
# - test_trax_api_entry_points: it looks the exported names up with dlopen/dlsym; the DLLs'
#   names are checked by velk_winspec's tests only.
# - test_trax_api_mt_alarm: its cases pass, but under Wine the process does not end when its
#   standard input is not a terminal (as under ctest); not examined yet.
# - test_trax_api_sharing, the allocation-failure tests and tests/framework/usr_oss: their
#   helpers (the second process trax_sim_user, the operator-new replacement, the signal sender
#   and recorder) are built for Linux only. Devices shared between processes are tested on
#   Windows by traxnt_session_test (the device semaphore passing from one traxnt.exe to
#   another, also when its holder is killed).
# - traxgui (no Qt for MinGW-w64) and tests/install (the Linux installation and package).
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
