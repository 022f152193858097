// Sleeping until a deadline on the monotonic clock.
#include <cerrno>
#include <ctime>

#include "sim_delay.h"

namespace sim {

namespace {

constexpr long kNanosPerMilli = 1000000L;
constexpr long kNanosPerSecond = 1000000000L;

} // namespace

// Sleeps until an absolute deadline, so that interruptions and scheduling delays do not
// add up.
void delay_ms(int32_t ms) {
    if (ms <= 0) {
        return;
    }
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += static_cast<long>(ms % 1000) * kNanosPerMilli;
    if (deadline.tv_nsec >= kNanosPerSecond) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= kNanosPerSecond;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

} // namespace sim
