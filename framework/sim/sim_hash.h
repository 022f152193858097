// FNV-1a, a small stable hash of bytes: the same text gives the same number on every
// machine and in every process.
#ifndef TRAX_SIM_HASH_H
#define TRAX_SIM_HASH_H

#include <cstdint>
#include <string_view>

namespace sim {

constexpr uint64_t fnv1a(std::string_view text) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const char c : text) {
        hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3ull;
    }
    return hash;
}

} // namespace sim

#endif
