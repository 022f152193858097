// Pseudo-random numbers: one step of a 32-bit xorshift generator, and mapping into a range.
#include "usr_oss.h"

namespace {

/// Seed used in place of 0, the one state from which xorshift never leaves.
constexpr uint32_t kZeroReplacement = 0x2545F491u;

} // namespace

uint32_t TRAX_CALL UOS_Random(uint32_t old) {
    uint32_t x = old != 0 ? old : kZeroReplacement;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
}

// Scales val from the full 32-bit range onto ra..re (both included) by multiplication, so
// that no division happens and the full range 0..0xffffffff maps val onto itself.
// Bounds given the wrong way round are swapped.
uint32_t TRAX_CALL UOS_RandomMap(uint32_t val, uint32_t ra, uint32_t re) {
    if (ra > re) {
        const uint32_t lowest = re;
        re = ra;
        ra = lowest;
    }
    const uint64_t span = static_cast<uint64_t>(re - ra) + 1u;
    return ra + static_cast<uint32_t>((static_cast<uint64_t>(val) * span) >> 32);
}
