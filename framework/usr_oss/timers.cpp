// Millisecond timer, millisecond delays and microsecond delays on the platform's monotonic
// clock.
#include <algorithm>
#include <array>
#include <atomic>

#include "trax_win32.h"
#include "usr_oss.h"

namespace {

constexpr int64_t kNsPerUs = 1000;
constexpr int64_t kNsPerMs = 1000 * kNsPerUs;

/// Time before the deadline of a micro delay at which sleeping stops and spinning on the
/// clock begins; it covers the scheduler's wake-up lateness (the timer slack alone is
/// 50 us). UOS_MikroDelayInit measures it; until then a value that suits an idle host is
/// used.
constexpr int64_t kDefaultSpinNs = 200 * kNsPerUs;
constexpr int64_t kMinSpinNs = 150 * kNsPerUs;
constexpr int64_t kMaxSpinNs = 1000 * kNsPerUs;
std::atomic<int64_t> g_spinNs{kDefaultSpinNs};

int64_t now_ns() {
    return static_cast<int64_t>(TraxMonotonicNanoseconds());
}

/// Sleeps until the monotonic clock reaches deadlineNs; an absolute deadline keeps the
/// total right however often a POSIX signal interrupts the sleep.
void sleep_until(int64_t deadlineNs) {
    TraxSleepUntil(static_cast<ULONGLONG>(deadlineNs));
}

/// Busy-waits until the monotonic clock reaches deadlineNs.
void spin_until(int64_t deadlineNs) {
    while (now_ns() < deadlineNs) {
    }
}

/// Median lateness of a few short sleeps: how late this host typically wakes a sleeper.
/// The median keeps one preempted sample from inflating the spin phase of every delay.
int64_t measure_wake_lateness() {
    constexpr int kSamples = 9;
    constexpr int64_t kProbeNs = 100 * kNsPerUs;
    std::array<int64_t, kSamples> lateness{};
    for (int64_t &late : lateness) {
        const int64_t deadline = now_ns() + kProbeNs;
        sleep_until(deadline);
        late = now_ns() - deadline;
    }
    std::nth_element(lateness.begin(), lateness.begin() + kSamples / 2, lateness.end());
    return lateness[kSamples / 2];
}

} // namespace

uint32_t TRAX_CALL UOS_MsecTimerGet(void) {
    return static_cast<uint32_t>(now_ns() / kNsPerMs);
}

uint32_t TRAX_CALL UOS_MsecTimerResolution(void) {
    return 1;
}

int32_t TRAX_CALL UOS_Delay(int32_t msec) {
    if (msec <= 0)
        return 0;
    Sleep(static_cast<DWORD>(msec));
    return msec;
}

// Calibrates the micro delay: the spin phase is made twice as long as the typical wake-up
// lateness measured, within 150..1000 us. Always succeeds.
int32_t TRAX_CALL UOS_MikroDelayInit(void) {
    g_spinNs = std::clamp(2 * measure_wake_lateness(), kMinSpinNs, kMaxSpinNs);
    return 0;
}

// Sleeps for the bulk of the delay and spins on the clock for the rest, which keeps the
// error well below a microsecond. Works without UOS_MikroDelayInit (with the default spin
// phase). The delay is computed in 64-bit nanoseconds, so any 32-bit value is safe.
int32_t TRAX_CALL UOS_MikroDelay(uint32_t usec) {
    const int64_t start = now_ns();
    const int64_t deadline = start + static_cast<int64_t>(usec) * kNsPerUs;
    const int64_t spinNs = g_spinNs.load();
    if (deadline - start > spinNs)
        sleep_until(deadline - spinNs);
    spin_until(deadline);
    return 0;
}
