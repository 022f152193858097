// Loads velk_winspec from the build tree at run time, as its outside caller does, and finds
// the conversion function by its export name: the plain name in the ELF build, the
// decorated name of the definition file in the Windows build.
#ifndef TRAX_TEST_LOAD_CONV_DEV_NAME_H
#define TRAX_TEST_LOAD_CONV_DEV_NAME_H

#include <string>

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include "velk_winspec.h"

using ConvDevNameFn = decltype(&WINSPEC_ConvDevName);

/// The loaded library; unloaded again by the destructor.
class WinspecLibrary {
  public:
    WinspecLibrary() {
#if defined(_WIN32)
        handle_ = LoadLibraryA(TRAX_BIN_DIR "/" VELK_WINSPEC_FILE_NAME);
        if (handle_ != nullptr)
            convert_ = reinterpret_cast<ConvDevNameFn>(
                reinterpret_cast<void *>(GetProcAddress(handle_, "_WINSPEC_ConvDevName@8")));
        if (convert_ == nullptr)
            error_ = "error " + std::to_string(GetLastError());
#else
        handle_ = dlopen(TRAX_BIN_DIR "/" VELK_WINSPEC_FILE_NAME, RTLD_NOW | RTLD_LOCAL);
        if (handle_ != nullptr)
            convert_ = reinterpret_cast<ConvDevNameFn>(dlsym(handle_, "WINSPEC_ConvDevName"));
        if (convert_ == nullptr)
            error_ = dlerror();
#endif
    }
    WinspecLibrary(const WinspecLibrary &) = delete;
    WinspecLibrary &operator=(const WinspecLibrary &) = delete;
    ~WinspecLibrary() {
#if defined(_WIN32)
        if (handle_ != nullptr)
            FreeLibrary(handle_);
#else
        if (handle_ != nullptr)
            dlclose(handle_);
#endif
    }

    /// The function, or null (error() says why).
    ConvDevNameFn convert() const {
        return convert_;
    }
    const std::string &error() const {
        return error_;
    }

  private:
#if defined(_WIN32)
    HMODULE handle_ = nullptr;
#else
    void *handle_ = nullptr;
#endif
    ConvDevNameFn convert_ = nullptr;
    std::string error_;
};

#endif
