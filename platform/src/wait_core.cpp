/* Deadline arithmetic and the blocking system calls that wait against it. */
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

uint64_t monotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
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
    for (;;) {
        const timespec left = deadline.remaining();
        if (left.tv_sec == 0 && left.tv_nsec == 0)
            return;
        if (nanosleep(&left, nullptr) == 0)
            return;
    }
}

} // namespace trax::platform
