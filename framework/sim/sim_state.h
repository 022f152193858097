// Everything a live device changes while it runs, in one block of plain fixed-size data
// (no pointers, no containers), kept apart from its unchanging description. Being plain
// data, the block can be copied, compared, or placed in memory that several processes
// map, as long as every process uses the same definition (see definition_hash).
#ifndef TRAX_SIM_STATE_H
#define TRAX_SIM_STATE_H

#include <atomic>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "sim_catalogue.h"
#include "sim_limits.h"

namespace sim {

/// Debug levels of the layers, each read back as it was set.
struct DebugLevels {
    uint32_t kernel = 0;
    uint32_t api = 0;
    uint32_t oss = 0;
    uint32_t driver = 0;
    uint32_t readBuffer = 0;
    uint32_t writeBuffer = 0;
    uint32_t board = 0;
};

struct DeviceState {
    DebugLevels debug;
    int32_t irqEnabled;
    int32_t driverIdCheck;
    int32_t boardIdCheck;
    /// Channel values: the bit of a binary channel, the MT driver's registers.
    int32_t channels[kMaxChannels];
    /// Block memory; the first memorySize bytes are used.
    uint8_t memory[kMaxMemorySize];
    /// Writable device-specific codes, by their index in the definition's table: the value
    /// of a standard code, the length and (at the offset Device gives) the bytes of a
    /// block code.
    int32_t registers[kMaxStatusCodes];
    uint32_t areaLength[kMaxStatusCodes];
    uint8_t areas[kMaxAreaBytes];
    /// Calls each fault rule has matched so far.
    uint64_t ruleCalls[kMaxFaultRules];
    /// The fault rules' random generator.
    uint64_t random;
    /// Start of the analog waveforms, in nanoseconds of the monotonic clock.
    int64_t startNs;
};

static_assert(std::is_trivially_copyable_v<DeviceState> && std::is_standard_layout_v<DeviceState>);

/// A channel's value as an atomic word: direct calls read and write it without the
/// device's lock, so every other access goes through this too.
inline std::atomic_ref<int32_t> channel_word(DeviceState &state, int32_t channel) {
    return std::atomic_ref<int32_t>(state.channels[channel]);
}

/// Marks a code that has no byte area in area_offsets.
constexpr uint32_t kNoArea = UINT32_MAX;

/// Where the byte area of each entry of the definition's status-code table starts in
/// DeviceState::areas (kNoArea for entries without one), by table index; entries beyond
/// kMaxStatusCodes are left out.
std::vector<uint32_t> area_offsets(const DeviceSpec &spec);

/// Seed of a device's fault generator: TRAX_SEED if set to a number, else the
/// definition's seed, else 1; mixed with the device's name so that devices differ.
uint64_t initial_random(const DeviceSpec &spec);

/// Sets state to a device's state at power-on.
void reset_state(DeviceState &state, const DeviceSpec &spec);

} // namespace sim

#endif
