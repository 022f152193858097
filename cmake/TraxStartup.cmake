# Start-up cost of the programs (ELF only: Windows DLLs import by name anyway). Linked into
# every target through trax::warnings:
#  - every program and library names only the libraries it really uses (--as-needed);
#  - relative relocations are stored packed, the symbol hash tables are the GNU ones, sized
#    for short chains (-O1), so the loader has less to read and to search;
#  - calls inside a library to its own exported functions are bound at link time
#    (-fno-semantic-interposition, and -Bsymbolic-functions in trax_export_map()), so
#    they need no symbol look-up at run time. Nothing in the suite replaces a library's
#    function from outside.
if(NOT MSVC AND NOT WIN32)
  target_link_options(trax_warnings INTERFACE LINKER:--as-needed LINKER:-z,pack-relative-relocs
                                              LINKER:-O1 LINKER:--hash-style=gnu)
  target_compile_options(trax_warnings INTERFACE -fno-semantic-interposition)
endif()

# trax_cxx_runtime_first(target...): the program names the C++ runtime as its first library.
# The loader searches the libraries in that order for every symbol the C++ runtime binds
# at start (about 1,700 of its own); found right after the program, each search skips the
# suite's libraries. Sanitizer runtimes must come first themselves, so those builds keep
# the linker's order.
function(trax_cxx_runtime_first)
  if(WIN32 OR MSVC OR NOT TRAX_SANITIZE STREQUAL "")
    return()
  endif()
  foreach(target IN LISTS ARGN)
    target_link_options(${target} PRIVATE
                        "LINKER:--push-state,--no-as-needed,-lstdc++,--pop-state")
  endforeach()
endfunction()
