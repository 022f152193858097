// A device's state at power-on.
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string_view>

#include "sim_hash.h"
#include "sim_state.h"

namespace sim {

namespace {

// TRAX_SEED as a decimal or 0x-hexadecimal number of 64 bits, if it is one. A leading zero
// does not make it octal, and a sign, blanks or a value too large make it no number.
std::optional<uint64_t> seed_from_environment() {
    const char *text = std::getenv("TRAX_SEED");
    std::string_view digits = text != nullptr ? text : "";
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        base = 16;
    }
    uint64_t seed = 0;
    const char *end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, seed, base);
    if (digits.empty() || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    return seed;
}

int64_t monotonic_ns() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

std::vector<uint32_t> area_offsets(const DeviceSpec &spec) {
    std::vector<uint32_t> offsets;
    uint32_t next = 0;
    for (const CustomCode &code : spec.statusCodes) {
        if (offsets.size() == kMaxStatusCodes) {
            break;
        }
        const bool fits = code.writable && code.bytes.size() <= code.capacity &&
                          code.capacity <= kMaxAreaBytes - next;
        offsets.push_back(fits ? next : kNoArea);
        next += fits ? code.capacity : 0;
    }
    return offsets;
}

uint64_t initial_random(const DeviceSpec &spec) {
    const uint64_t seed = seed_from_environment().value_or(spec.seed.value_or(1));
    return seed ^ fnv1a(spec.name);
}

void reset_state(DeviceState &state, const DeviceSpec &spec) {
    std::memset(static_cast<void *>(&state), 0, sizeof state);
    state.debug = DebugLevels{};
    state.irqEnabled = spec.irq.enabled;
    state.driverIdCheck = spec.driverIdCheck;
    state.boardIdCheck = spec.boardIdCheck;
    const std::vector<uint32_t> offsets = area_offsets(spec);
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const CustomCode &code = spec.statusCodes[i];
        state.registers[i] = code.value;
        state.areaLength[i] = static_cast<uint32_t>(code.bytes.size());
        if (offsets[i] != kNoArea && !code.bytes.empty()) {
            std::memcpy(state.areas + offsets[i], code.bytes.data(), code.bytes.size());
        }
    }
    state.random = initial_random(spec);
    state.startNs = monotonic_ns();
}

} // namespace sim
