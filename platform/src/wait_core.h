// The one timed-wait core: every blocking call of the platform waits against a Deadline on
// the monotonic clock, so INFINITE, 0 and millisecond time-outs behave the same everywhere
// and a wall-clock change never shortens or stretches a wait.
#ifndef TRAX_PLATFORM_WAIT_CORE_H
#define TRAX_PLATFORM_WAIT_CORE_H

#include <poll.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "trax_win32.h"

namespace trax::platform {

/// The point in time at which a wait gives up; INFINITE never comes.
class Deadline {
  public:
    using Clock = std::chrono::steady_clock;

    /// Deadline ms milliseconds from now; INFINITE gives a deadline that never passes.
    static Deadline after(DWORD ms);

    bool isInfinite() const noexcept { return infinite_; }
    Clock::time_point when() const noexcept { return when_; }
    /// The deadline on the scale of monotonicNanoseconds(); only for finite deadlines.
    uint64_t nanoseconds() const noexcept;
    /// This deadline or one ms from now, whichever comes first.
    Deadline earlier(DWORD ms) const;
    bool hasPassed() const noexcept { return !infinite_ && Clock::now() >= when_; }
    /// Time left until the deadline (zero once it has passed); only for finite deadlines.
    timespec remaining() const;

  private:
    bool infinite_ = true;
    Clock::time_point when_{};
};

/// The one monotonic clock of the suite: nanoseconds of Deadline::Clock, which on Linux is
/// CLOCK_MONOTONIC, shared by every process of the machine.
uint64_t monotonicNanoseconds();

/// The one sleep of the suite: sleeps until monotonicNanoseconds() reaches deadlineNs. The
/// deadline is absolute, so a signal that interrupts the sleep neither shortens it nor
/// makes it longer in total.
void sleepUntilNanoseconds(uint64_t deadlineNs);

/// Waits on cv until ready() holds or the deadline passes; returns ready()'s final value.
template <class Ready>
bool waitUntil(std::condition_variable &cv, std::unique_lock<std::mutex> &lock,
               const Deadline &deadline, Ready ready) {
    if (deadline.isInfinite()) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_until(lock, deadline.when(), ready);
}

/// poll() until a descriptor is ready or the deadline passes, resuming after signals with
/// the time that is left. Returns the number of ready descriptors, 0 on time-out, or -1
/// with errno set.
int pollUntil(pollfd *fds, nfds_t count, const Deadline &deadline);

/// Sleeps until the deadline (for ever when it is infinite), resuming after signals.
void sleepUntil(const Deadline &deadline);

} // namespace trax::platform

#endif
