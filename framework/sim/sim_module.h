// Loading one of the suite's own libraries at run time, in the shape of the Windows calls
// (LoadLibrary, GetProcAddress, GetModuleFileName): the system's loader on Windows, dlopen,
// dlsym and dladdr on POSIX. A library is looked for only in the folder the suite's
// libraries are installed in, never through the search path or the current folder.
#ifndef TRAX_SIM_MODULE_H
#define TRAX_SIM_MODULE_H

#include <string>

namespace sim {

/// Any entry point of a loaded library; the caller casts it to its real type.
using ModuleEntry = void (*)();

/// A loaded library (it stays loaded until the process ends), or the reason why not.
struct LoadedModule {
    void *handle = nullptr;
    std::string error;
};

/// The folder of the suite's libraries as seen from the module that holds this code: a
/// shared library's own folder; for a program that holds it, the library folder of the
/// program's installation (which the build tree mirrors). Empty if unknown.
std::string library_folder();

/// Loads the library at path. The initialisers of a library (and of the libraries it needs)
/// cannot report a failure, and an exception from one of them must not unwind through the
/// system's loader into the caller: such a failure ends the process at once, as it would
/// have had the library been loaded at start.
LoadedModule load_module(const std::string &path);

/// The entry point name of a loaded library; null if it has none.
ModuleEntry module_entry(void *handle, const char *name);

} // namespace sim

#endif
