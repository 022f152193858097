# CPack: one Debian package with the programs, the libraries, the headers and the files for
# building against them. dpkg-shlibdeps computes Depends from what the binaries link (libc,
# the C++ runtime, Qt 6 for traxgui). Build it with `cpack -G DEB` in the build folder.
set(TRAX_PACKAGE_NAME trax-suite)
set(debian_dir ${PROJECT_SOURCE_DIR}/packaging/debian)

# The package's documentation folder: copyright, and the changelog compressed as Debian
# keeps it.
set(docdir ${CMAKE_INSTALL_DATADIR}/doc/${TRAX_PACKAGE_NAME})
configure_file(${debian_dir}/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
trax_gzip(${CMAKE_BINARY_DIR}/packaging/changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_target(trax_package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${debian_dir}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TRAX_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "TRAX suite team")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "test tools for the TRAX device-driver framework")
set(CPACK_PACKAGE_DESCRIPTION
    "Tools to drive the TRAX device-driver framework by hand: the console test
shell traxnt, the windowed test tool traxgui, the example program traxapp and
the device-name conversion library velk_winspec. They run on a simulated
framework (device API, OS services and utilities libraries) with a built-in
catalogue of simulated devices. Includes the headers, the CMake package
configuration and pkg-config files for building programs against the libraries.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "TRAX suite team <trax-suite@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${debian_dir}/triggers)

include(CPack)
