// The emulated Windows version that GetVersionExA reports. It starts as Windows NT 4.0
// with Service Pack 6, or as TRAX_WINVER="<platform>.<major>.<minor>[.<build>]" says when
// that is set, so a test can choose the version of a child process.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "errors.h"

namespace trax::platform {
namespace {

static_assert(sizeof(OSVERSIONINFOA) == 148, "callers pass 148 as the record size");

struct VersionState {
    std::mutex lock;
    OSVERSIONINFOA startup{};
    OSVERSIONINFOA current{};
    bool queryFails = false;
};

OSVERSIONINFOA windowsNt4() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = VER_PLATFORM_WIN32_NT;
    info.dwMajorVersion = 4;
    info.dwMinorVersion = 0;
    info.dwBuildNumber = 1381;
    std::strcpy(info.szCSDVersion, "Service Pack 6");
    return info;
}

// Reads one decimal number of at most nine digits at text; false if there is none.
bool readNumber(const char *&text, DWORD &value) {
    int digits = 0;
    value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (++digits > 9)
            return false;
        value = value * 10 + static_cast<DWORD>(*text - '0');
    }
    return digits > 0;
}

// Parses "<platform>.<major>.<minor>[.<build>]" into info; false if the text is not that.
bool parseVersion(const char *text, OSVERSIONINFOA &info) {
    DWORD fields[4] = {0, 0, 0, 0};
    int count = 0;
    while (count < 4) {
        if (!readNumber(text, fields[count++]))
            return false;
        if (*text == '\0')
            break;
        if (*text++ != '.')
            return false;
    }
    if (count < 3 || *text != '\0' || fields[0] > VER_PLATFORM_WIN32_NT)
        return false;
    info = OSVERSIONINFOA{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = fields[0];
    info.dwMajorVersion = fields[1];
    info.dwMinorVersion = fields[2];
    info.dwBuildNumber = fields[3];
    return true;
}

OSVERSIONINFOA startupVersion() {
    const char *text = std::getenv("TRAX_WINVER");
    OSVERSIONINFOA info = windowsNt4();
    if (text != nullptr && *text != '\0' && !parseVersion(text, info)) {
        std::fprintf(stderr, "TRAX_WINVER=\"%s\" ignored: expected <platform>.<major>.<minor>\n",
                     text);
        info = windowsNt4();
    }
    return info;
}

VersionState &state() {
    static VersionState *const instance = [] {
        auto *s = new VersionState;
        s->startup = startupVersion();
        s->current = s->startup;
        return s;
    }();
    return *instance;
}

} // namespace
} // namespace trax::platform

using namespace trax::platform;

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA))
        return fail(ERROR_INVALID_PARAMETER);
    VersionState &s = state();
    std::lock_guard guard(s.lock);
    if (s.queryFails)
        return fail(ERROR_NOT_SUPPORTED);
    *info = s.current;
    return TRUE;
}

void WINAPI TraxSetEmulatedVersion(const OSVERSIONINFOA *info) {
    VersionState &s = state();
    std::lock_guard guard(s.lock);
    s.current = info != nullptr ? *info : s.startup;
    s.current.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    s.current.szCSDVersion[sizeof s.current.szCSDVersion - 1] = '\0';
}

void WINAPI TraxSetVersionQueryFails(BOOL fails) {
    VersionState &s = state();
    std::lock_guard guard(s.lock);
    s.queryFails = fails != FALSE;
}
