// The monotonic clock of every wait and delay, on the performance counter, and sleeping
// until a point on it.
#include "trax_win32.h"

namespace {

ULONGLONG countsPerSecond() {
    static const ULONGLONG frequency = [] {
        LARGE_INTEGER value{};
        QueryPerformanceFrequency(&value);
        return static_cast<ULONGLONG>(value.QuadPart);
    }();
    return frequency;
}

} // namespace

ULONGLONG WINAPI TraxMonotonicNanoseconds(void) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    const ULONGLONG counts = static_cast<ULONGLONG>(now.QuadPart);
    const ULONGLONG perSecond = countsPerSecond();
    return counts / perSecond * 1000000000u + counts % perSecond * 1000000000u / perSecond;
}

// Sleep takes whole milliseconds and may end a tick early or late: sleep the rounded-up
// rest until the clock has passed the deadline.
void WINAPI TraxSleepUntil(ULONGLONG deadlineNs) {
    for (ULONGLONG now = TraxMonotonicNanoseconds(); now < deadlineNs;
         now = TraxMonotonicNanoseconds()) {
        const ULONGLONG leftMs = (deadlineNs - now + 999999u) / 1000000u;
        Sleep(leftMs > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<DWORD>(leftMs));
    }
}
