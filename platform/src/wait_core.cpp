// Deadline arithmetic and the blocking system calls that wait against it.
#include "wait_core.h"

#include <cerrno>
#include <ctime>

#include <unistd.h>

namespace trax::platform {

Deadline Deadline::after(DWORD ms) {
    Deadline deadline;
    if (ms != INFINITE) {
        deadline.infinite_ = false;
        deadline.when_ = Clock::now() + std::chrono::milliseconds(ms);
    }
    return deadline;
}

Deadline Deadline::earlier(DWORD ms) const {
    const Deadline other = after(ms);
    return infinite_ || other.when_ < when_ ? other : *this;
}

timespec Deadline::remaining() const {
    auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(when_ - Clock::now());
    if (left.count() < 0)
        left = std::chrono::nanoseconds(0);
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(left.count() / 1000000000);
    ts.tv_nsec = static_cast<long>(left.count() % 1000000000);
    return ts;
}

uint64_t Deadline::nanoseconds() const noexcept {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(when_.time_since_epoch()).count());
}

uint64_t monotonicNanoseconds() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     Deadline::Clock::now().time_since_epoch())
                                     .count());
}

void sleepUntilNanoseconds(uint64_t deadlineNs) {
    timespec deadline{};
    deadline.tv_sec = static_cast<time_t>(deadlineNs / 1000000000u);
    deadline.tv_nsec = static_cast<long>(deadlineNs % 1000000000u);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

int pollUntil(pollfd *fds, nfds_t count, const Deadline &deadline) {
    for (;;) {
        timespec left{};
        if (!deadline.isInfinite())
            left = deadline.remaining();
        const int ready = ppoll(fds, count, deadline.isInfinite() ? nullptr : &left, nullptr);
        if (ready >= 0 || errno != EINTR)
            return ready;
    }
}

void sleepUntil(const Deadline &deadline) {
    if (deadline.isInfinite()) {
        for (;;)
            pause();
    }
    sleepUntilNanoseconds(deadline.nanoseconds());
}

} // namespace trax::platform
