// The version that GetVersionExA reports on Windows: the system's own, unless a test has
// set an emulated version or made the query fail.
#include <mutex>

#include "trax_win32.h"

namespace {

struct VersionState {
    std::mutex lock;
    bool emulated = false;
    OSVERSIONINFOA version{};
    bool queryFails = false;
};

VersionState &state() {
    static VersionState *const instance = new VersionState;
    return *instance;
}

} // namespace

BOOL WINAPI TraxGetVersionExA(LPOSVERSIONINFOA info) {
    VersionState &s = state();
    {
        std::lock_guard guard(s.lock);
        if (s.queryFails) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
        }
        if (s.emulated && info != nullptr && info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOA)) {
            *info = s.version;
            return TRUE;
        }
    }
    return GetVersionExA(info);
}

void WINAPI TraxSetEmulatedVersion(const OSVERSIONINFOA *info) {
    VersionState &s = state();
    std::lock_guard guard(s.lock);
    s.emulated = info != nullptr;
    if (info == nullptr)
        return;
    s.version = *info;
    s.version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    s.version.szCSDVersion[sizeof s.version.szCSDVersion - 1] = '\0';
}

void WINAPI TraxSetVersionQueryFails(BOOL fails) {
    VersionState &s = state();
    std::lock_guard guard(s.lock);
    s.queryFails = fails != FALSE;
}
