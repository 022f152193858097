// Named-event file names.
#include "event_wire.h"

namespace trax::platform {
namespace {

// 128-bit FNV-1a: a stable, well-spread digest for names that do not fit a file name.
std::string hashName(std::string_view name) {
    using u128 = unsigned __int128;
    const u128 prime = (static_cast<u128>(0x0000000001000000ull) << 64) | 0x000000000000013Bull;
    u128 hash = (static_cast<u128>(0x6c62272e07bb0142ull) << 64) | 0x62b821756295c58dull;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= prime;
    }
    static const char digits[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 31; i >= 0; --i) {
        text[static_cast<size_t>(i)] = digits[static_cast<unsigned>(hash & 0xF)];
        hash >>= 4;
    }
    return text;
}

} // namespace

std::string eventFileName(std::string_view name, size_t room) {
    if (name.find('/') == std::string_view::npos && 4 + name.size() <= room)
        return "evt-" + std::string(name);
    return "evh-" + hashName(name);
}

} // namespace trax::platform
