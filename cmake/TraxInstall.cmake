# Install layout: GNU directories, with the libraries in the multiarch folder
# (lib/x86_64-linux-gnu on Debian) under any prefix, so that /usr/local and /usr look alike.
# Installed programs find the libraries through a RUNPATH relative to their own folder and the
# libraries find one another beside themselves; nothing installed points into the build tree.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE)
  set(CMAKE_INSTALL_LIBDIR "lib/${CMAKE_LIBRARY_ARCHITECTURE}"
      CACHE PATH "Object code libraries (lib/<multiarch>)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(TRAX_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Trax)
set(TRAX_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/trax)
# The library folder as seen from the program folder, e.g. ../lib/x86_64-linux-gnu.
file(RELATIVE_PATH TRAX_LIBDIR_FROM_BINDIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set(CMAKE_INSTALL_RPATH "$ORIGIN/${TRAX_LIBDIR_FROM_BINDIR}")
set(CMAKE_INSTALL_RPATH_USE_LINK_PATH OFF)
# Programs and libraries carry the installed RUNPATH already in the build tree, where the
# library folder as seen from bin/ is a link back to bin/. Rewriting the RUNPATH at install
# time instead would make CMake pad the build RUNPATH with empty entries, which the loader
# reads as the current folder: a program run from a hostile folder would load its libraries
# from there.
if(NOT WIN32 AND NOT IS_ABSOLUTE "${TRAX_LIBDIR_FROM_BINDIR}"
   AND NOT TRAX_LIBDIR_FROM_BINDIR MATCHES "^\\.\\./\\.\\.")
  set(CMAKE_BUILD_WITH_INSTALL_RPATH ON)
  set(build_libdir "${CMAKE_BINARY_DIR}/bin/${TRAX_LIBDIR_FROM_BINDIR}")
  cmake_path(NORMAL_PATH build_libdir)
  cmake_path(GET build_libdir PARENT_PATH build_libdir_parent)
  file(RELATIVE_PATH bin_from_libdir "${build_libdir_parent}" "${CMAKE_BINARY_DIR}/bin")
  if(NOT EXISTS "${build_libdir}")
    file(MAKE_DIRECTORY "${build_libdir_parent}")
    file(CREATE_LINK "${bin_from_libdir}" "${build_libdir}" SYMBOLIC)
  endif()
endif()

# trax_gzip(source output): a build step that compresses source into output as Debian ships
# manual pages and changelogs; -n leaves name and time out, so equal input gives equal files.
function(trax_gzip source output)
  add_custom_command(OUTPUT ${output}
                     COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${source} ${output}
                     DEPENDS ${source} VERBATIM)
endfunction()

# trax_install_program(target...): installs programs to bin/.
function(trax_install_program)
  install(TARGETS ${ARGN} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# trax_install_library(target EXPORT_NAME name [DESCRIPTION text] [PKGCONFIG])
# Gives one of the suite's shared libraries the project's version as its soname version and
# installs it with its symlinks, as trax::<name> in the package configuration; PKGCONFIG
# also installs <output name>.pc for programs built without CMake.
function(trax_install_library target)
  cmake_parse_arguments(ARG "PKGCONFIG" "EXPORT_NAME;DESCRIPTION" "" ${ARGN})
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR}
    EXPORT_NAME ${ARG_EXPORT_NAME} INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${target} EXPORT TraxTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  if(ARG_PKGCONFIG)
    trax_install_pkgconfig(${target} "${ARG_DESCRIPTION}")
  endif()
endfunction()

# trax_install_pkgconfig(target description): writes <output name>.pc straight into the
# installation, with the prefix of that installation (a package build installs to another
# prefix than the one configured, and installs may run side by side).
function(trax_install_pkgconfig target description)
  get_target_property(PC_NAME ${target} OUTPUT_NAME)
  set(PC_DESCRIPTION "${description}")
  set(PC_PREFIX "@PC_PREFIX@") # filled in at install time
  set(template ${CMAKE_BINARY_DIR}/pkgconfig/${PC_NAME}.pc.in)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/trax-library.pc.in ${template} @ONLY)
  install(CODE "
    set(PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(pc_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/${PC_NAME}.pc\")
    message(STATUS \"Installing: \${pc_file}\")
    configure_file(\"${template}\" \"\${pc_file}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${pc_file}\")")
endfunction()

# trax_install_package_config(): the imported targets and the files that find_package(Trax)
# reads. Called once all exported targets exist.
function(trax_install_package_config)
  install(EXPORT TraxTargets NAMESPACE trax:: DESTINATION ${TRAX_INSTALL_CMAKEDIR})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TraxConfig.cmake.in
                                ${CMAKE_BINARY_DIR}/TraxConfig.cmake
                                INSTALL_DESTINATION ${TRAX_INSTALL_CMAKEDIR})
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/TraxConfigVersion.cmake
                                   COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/TraxConfig.cmake ${CMAKE_BINARY_DIR}/TraxConfigVersion.cmake
          DESTINATION ${TRAX_INSTALL_CMAKEDIR})
endfunction()

# trax_install_system_runpaths(): called after every install rule. Installed to /usr, the
# programs and libraries lose their RUNPATH: their libraries are then in the loader's own
# folder, and a RUNPATH would only make the loader look into its glibc-hwcaps and legacy
# platform subfolders (about 40 failing file look-ups) before each program starts. Any other
# prefix keeps the RUNPATH relative to $ORIGIN.
function(trax_install_system_runpaths)
  install(CODE [[
    if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
      foreach(installed IN LISTS CMAKE_INSTALL_MANIFEST_FILES)
        set(file "$ENV{DESTDIR}${installed}")
        if(NOT IS_SYMLINK "${file}" AND file MATCHES "/bin/[^/]+$|\\.so(\\.[0-9]+)*$")
          file(RPATH_REMOVE FILE "${file}")
        endif()
      endforeach()
    endif()]])
endfunction()
