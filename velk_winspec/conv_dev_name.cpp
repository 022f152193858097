// The device-name conversion of the Windows NT 4.0 variant.
#include <string.h>

#include "velk_winspec.h"

namespace {

/// Prefix of a name in the Win32 device namespace: backslash, backslash, full stop,
/// backslash.
constexpr char kDeviceNamespacePrefix[] = "\\\\.\\";

/// Size of the version record as the query expects it (the basic record, no extension).
constexpr DWORD kVersionRecordSize = 148;

/// Style of both refusal boxes: OK button, stop icon, system-modal.
constexpr UINT kRefusalBoxStyle = MB_OK | MB_ICONHAND | MB_SYSTEMMODAL;

constexpr char kBoxTitle[] = "velk_winspec.dll";
constexpr char kUnsupportedPlatformText[] = "Unsupported Windows Version!";
constexpr char kWrongVersionText[] =
    "You are using the wrong version of the velk_winspec.dll! Please use the W2K version "
    "instead of the NT4 version.";

static_assert(sizeof(OSVERSIONINFOA) == kVersionRecordSize);
static_assert(kRefusalBoxStyle == 0x1010);

/// Tells the user why the name cannot be converted; returns after the box is dismissed.
void ShowRefusal(const char *text) {
    MessageBoxA(nullptr, text, kBoxTitle, kRefusalBoxStyle);
}

/// Checks that the running system is Windows NT 4.0 (any minor version). On any other
/// system it shows the matching box and returns false; a failing version query shows
/// none, since there is nothing to tell the user about the version.
bool RunningOnNt4() {
    OSVERSIONINFOA info;
    info.dwOSVersionInfoSize = kVersionRecordSize;
    if (!GetVersionExA(&info))
        return false;
    if (info.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        ShowRefusal(kUnsupportedPlatformText);
        return false;
    }
    if (info.dwMajorVersion != 4) {
        ShowRefusal(kWrongVersionText);
        return false;
    }
    return true;
}

} // namespace

extern "C" int32_t WINAPI WINSPEC_ConvDevName(const char *name, char *dest) {
    if (!RunningOnNt4()) {
        SetLastError(ERROR_BAD_ENVIRONMENT);
        return 0;
    }
    constexpr size_t prefixLength = sizeof kDeviceNamespacePrefix - 1;
    memcpy(dest, kDeviceNamespacePrefix, prefixLength);
    memcpy(dest + prefixLength, name, strlen(name) + 1);
    return WINSPEC_CONV_OK;
}
