# trax_export_map(target MAP map-file [DEF def-file])
# Limits a shared library's exports to its export list. On ELF platforms the map file is the
# linker's version script; on Windows the DLL exports what its sources mark for export, or
# what the optional definition file lists. On ELF the library's calls to its own exported
# functions are bound inside it. Every library given here is recorded, so that
# tests/ can compare the symbols each one exports with its list.
function(trax_export_map target)
  cmake_parse_arguments(ARG "" "MAP;DEF" "" ${ARGN})
  if(NOT ARG_MAP)
    message(FATAL_ERROR "trax_export_map(${target}): MAP <file> is required")
  endif()
  if(WIN32)
    if(ARG_DEF)
      target_sources(${target} PRIVATE ${ARG_DEF})
    endif()
    return()
  endif()
  target_link_options(${target} PRIVATE LINKER:--version-script=${ARG_MAP} LINKER:-Bsymbolic-functions)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${ARG_MAP})
  set_property(GLOBAL APPEND PROPERTY TRAX_EXPORT_MAPPED_LIBRARIES ${target})
  set_property(TARGET ${target} PROPERTY TRAX_EXPORT_MAP ${ARG_MAP})
endfunction()
