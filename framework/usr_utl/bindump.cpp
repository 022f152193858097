// Bit dump of a value as '0'/'1' text.
#include "usr_utl.h"

namespace {

constexpr uint32_t kMaxBits = 32;

} // namespace

extern "C" {

// The lowest nrBits bits (at most 32), most significant first, in groups of four counted
// from the least significant bit, so that groups match hexadecimal digits: 6 bits of
// 0x2d read "10 1101". The text takes at most 40 bytes with its terminating zero.
TRAX_EXPORT char *TRAX_CALL UTL_Bindump(uint32_t val, uint32_t nrBits, char *buf) {
    if (buf == nullptr) {
        return nullptr;
    }
    const uint32_t bits = nrBits > kMaxBits ? kMaxBits : nrBits;
    char *out = buf;
    for (uint32_t bit = bits; bit-- > 0;) {
        *out++ = ((val >> bit) & 1u) != 0 ? '1' : '0';
        if (bit % 4 == 0 && bit != 0) {
            *out++ = ' ';
        }
    }
    *out = '\0';
    return buf;
}

TRAX_EXPORT char *TRAX_CALL UTL_BINDUMP(uint32_t val, uint32_t nrBits, char *buf) {
    return UTL_Bindump(val, nrBits, buf);
}

} // extern "C"
