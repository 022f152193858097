// Loading the suite's own libraries at run time from the folder of the calling module.
#include "sim_module.h"

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

// The library's initialisers run inside; no exception of theirs unwinds out (see the header).
HMODULE open_library(const char *path) noexcept {
    return LoadLibraryA(path);
}

} // namespace

LoadedModule load_module(const std::string &path) {
    HMODULE module = open_library(path.c_str());
    if (module == nullptr) {
        return {nullptr,
                path + ": cannot be loaded (Windows error " + std::to_string(GetLastError()) + ")"};
    }
    return {module, {}};
}

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

// The library's initialisers run inside; no exception of theirs unwinds out (see the header).
void *open_library(const char *path) noexcept {
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

} // namespace

LoadedModule load_module(const std::string &path) {
    void *handle = open_library(path.c_str());
    if (handle == nullptr) {
        const char *reason = dlerror();
        return {nullptr, reason != nullptr ? reason : path + ": cannot be loaded"};
    }
    return {handle, {}};
}

ModuleEntry module_entry(void *handle, const char *name) {
    return reinterpret_cast<ModuleEntry>(dlsym(handle, name));
}

#endif

} // namespace sim
