// Sleeping until a deadline on the platform's monotonic clock.
#include "sim_delay.h"
#include "trax_win32.h"

namespace sim {

// Sleeps until an absolute deadline, so that interruptions and scheduling delays do not
// add up.
void delay_ms(int32_t ms) {
    if (ms <= 0) {
        return;
    }
    constexpr ULONGLONG kNanosPerMilli = 1000000u;
    TraxSleepUntil(TraxMonotonicNanoseconds() + static_cast<ULONGLONG>(ms) * kNanosPerMilli);
}

} // namespace sim
