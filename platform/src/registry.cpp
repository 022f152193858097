// A read-only registry view held in memory. It is empty unless a test fills it with
// TraxRegistrySetString. Key paths and value names compare without regard to case, as in
// the Windows registry.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "errors.h"

namespace {

struct RegistryState {
    std::mutex lock;
    // Full key path -> value name -> string data, all names in lower case.
    std::map<std::string, std::map<std::string, std::string>> keys;
    // Open key handle -> full key path. Handle values count up and are never reused.
    std::map<uintptr_t, std::string> openKeys;
    uintptr_t nextKey = 1;
};

RegistryState &state() {
    static RegistryState *const instance = new RegistryState;
    return *instance;
}

std::string lowerCase(LPCSTR text) {
    std::string result = text != nullptr ? text : "";
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

// The path of a predefined root or an open key; nothing for any other handle.
std::optional<std::string> pathOfKey(const RegistryState &s, HKEY key) {
    if (key == HKEY_CLASSES_ROOT)
        return "hkey_classes_root";
    if (key == HKEY_CURRENT_USER)
        return "hkey_current_user";
    if (key == HKEY_LOCAL_MACHINE)
        return "hkey_local_machine";
    auto open = s.openKeys.find(reinterpret_cast<uintptr_t>(key));
    if (open == s.openKeys.end())
        return std::nullopt;
    return open->second;
}

// The path of subKey below base; separators at either end of subKey are ignored.
std::string joinPath(const std::string &base, LPCSTR subKey) {
    std::string sub = lowerCase(subKey);
    const size_t first = sub.find_first_not_of('\\');
    if (first == std::string::npos)
        return base;
    const size_t last = sub.find_last_not_of('\\');
    return base + "\\" + sub.substr(first, last - first + 1);
}

// A key exists when it holds a value or lies above a key that does; roots always exist.
bool keyExists(const RegistryState &s, const std::string &path) {
    if (path.find('\\') == std::string::npos || s.keys.count(path) != 0)
        return true;
    // Keys below path sort together, right from path + "\\" on.
    const std::string below = path + "\\";
    auto candidate = s.keys.lower_bound(below);
    return candidate != s.keys.end() && candidate->first.compare(0, below.size(), below) == 0;
}

bool isPredefined(HKEY key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE;
}

// Copies a string value out in the Windows manner: with no buffer only the size, with a
// small one ERROR_MORE_DATA and the size needed.
LONG copyValue(const std::string &value, LPBYTE data, LPDWORD dataSize) {
    const auto needed = static_cast<DWORD>(value.size() + 1);
    if (data == nullptr) {
        if (dataSize != nullptr)
            *dataSize = needed;
        return ERROR_SUCCESS;
    }
    const DWORD available = *dataSize;
    *dataSize = needed;
    if (available < needed)
        return ERROR_MORE_DATA;
    std::memcpy(data, value.c_str(), needed);
    return ERROR_SUCCESS;
}

LONG openKey(HKEY key, LPCSTR subKey, PHKEY result) {
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    RegistryState &s = state();
    std::lock_guard guard(s.lock);
    const std::optional<std::string> base = pathOfKey(s, key);
    if (!base)
        return ERROR_INVALID_HANDLE;
    std::string path = joinPath(*base, subKey);
    if (!keyExists(s, path))
        return ERROR_FILE_NOT_FOUND;
    const uintptr_t handle = s.nextKey++;
    s.openKeys.emplace(handle, std::move(path));
    *result = reinterpret_cast<HKEY>(handle);
    return ERROR_SUCCESS;
}

LONG queryValue(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                LPDWORD dataSize) {
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr))
        return ERROR_INVALID_PARAMETER;
    RegistryState &s = state();
    std::lock_guard guard(s.lock);
    const std::optional<std::string> path = pathOfKey(s, key);
    if (!path)
        return ERROR_INVALID_HANDLE;
    auto values = s.keys.find(*path);
    if (values == s.keys.end())
        return ERROR_FILE_NOT_FOUND;
    auto value = values->second.find(lowerCase(valueName));
    if (value == values->second.end())
        return ERROR_FILE_NOT_FOUND;
    if (type != nullptr)
        *type = REG_SZ;
    return copyValue(value->second, data, dataSize);
}

LONG setString(HKEY root, LPCSTR subKey, LPCSTR valueName, LPCSTR value) {
    if (value == nullptr)
        return ERROR_INVALID_PARAMETER;
    RegistryState &s = state();
    std::lock_guard guard(s.lock);
    const std::optional<std::string> base = pathOfKey(s, root);
    if (!base)
        return ERROR_INVALID_HANDLE;
    s.keys[joinPath(*base, subKey)][lowerCase(valueName)] = value;
    return ERROR_SUCCESS;
}

} // namespace

// The calls that build key paths and values run through the entry guard: without memory
// they return ERROR_NOT_ENOUGH_MEMORY.
LONG WINAPI RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    return trax::guardEntry([&] { return openKey(key, subKey, result); },
                            trax::platform::codeOnFault);
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                             LPBYTE data, LPDWORD dataSize) {
    return trax::guardEntry(
        [&] { return queryValue(key, valueName, reserved, type, data, dataSize); },
        trax::platform::codeOnFault);
}

LONG WINAPI TraxRegistrySetString(HKEY root, LPCSTR subKey, LPCSTR valueName, LPCSTR value) {
    return trax::guardEntry([&] { return setString(root, subKey, valueName, value); },
                            trax::platform::codeOnFault);
}

LONG WINAPI RegCloseKey(HKEY key) {
    if (isPredefined(key))
        return ERROR_SUCCESS;
    RegistryState &s = state();
    std::lock_guard guard(s.lock);
    return s.openKeys.erase(reinterpret_cast<uintptr_t>(key)) == 1 ? ERROR_SUCCESS
                                                                   : ERROR_INVALID_HANDLE;
}

void WINAPI TraxRegistryClear(void) {
    RegistryState &s = state();
    std::lock_guard guard(s.lock);
    s.keys.clear();
}
