// Loading the suite's own libraries at run time from the folder of the calling module.
#include "sim_module.h"

#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <unistd.h>
#endif

namespace sim {

namespace {

// An object of this module, whose address tells the loader which module holds this code.
const char kModuleMarker = 0;

/// Loads the library on the calling thread.
LoadedModule load_here(const std::string &path);

std::string parent_folder(const std::string &path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

} // namespace

#if defined(_WIN32)

// Programs and libraries share one folder on Windows.
std::string library_folder() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            &kModuleMarker, &module)) {
        return {};
    }
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return {};
    }
    return parent_folder(std::string(path, length));
}

namespace {

LoadedModule load_here(const std::string &path) {
    HMODULE module = LoadLibraryA(path.c_str());
    if (module == nullptr) {
        return {nullptr,
                path + ": cannot be loaded (Windows error " + std::to_string(GetLastError()) + ")"};
    }
    return {module, {}};
}

} // namespace

ModuleEntry module_entry(void *handle, const char *name) {
    return reinterpret_cast<ModuleEntry>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

#else

namespace {

std::string program_file() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof path) {
        return {};
    }
    return std::string(path, static_cast<std::size_t>(length));
}

} // namespace

// The main program's link map has an empty name; a shared library's is the file it was
// loaded from.
std::string library_folder() {
    Dl_info info{};
    link_map *map = nullptr;
    if (dladdr1(&kModuleMarker, &info, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) == 0 ||
        map == nullptr) {
        return {};
    }
    if (map->l_name != nullptr && map->l_name[0] != '\0') {
        return parent_folder(map->l_name);
    }
    const std::string programFolder = parent_folder(program_file());
    return programFolder.empty() ? programFolder : programFolder + "/" TRAX_LIBDIR_FROM_BINDIR;
}

namespace {

LoadedModule load_here(const std::string &path) {
    void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char *reason = dlerror();
        return {nullptr, reason != nullptr ? reason : path + ": cannot be loaded"};
    }
    return {handle, {}};
}

} // namespace

ModuleEntry module_entry(void *handle, const char *name) {
    return reinterpret_cast<ModuleEntry>(dlsym(handle, name));
}

#endif

// The initialisers of a library (and of the libraries it needs) cannot report a failure: an
// exception from one of them would unwind through the system's loader, which would leave the
// loader's state undefined. They run on a thread of their own, whose function lets no
// exception out: such a failure ends the process at once, as it would have when the library
// was loaded at start, and a failure of the caller's own thread never reaches the loader.
LoadedModule load_module(const std::string &path) {
    LoadedModule module;
    std::thread([&]() noexcept { module = load_here(path); }).join();
    return module;
}

} // namespace sim
