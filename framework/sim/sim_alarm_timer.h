// The process's alarm timer: one thread that sends the signals of armed MT alarms.
#ifndef TRAX_SIM_ALARM_TIMER_H
#define TRAX_SIM_ALARM_TIMER_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "trax_win32.h"

namespace sim {

/// Alarms wait for absolute deadlines on the monotonic clock. When one is due, its signal
/// is sent to the process that armed it through that process's named signal event; a
/// cyclic alarm is then due again one period later. The thread starts with the first
/// alarm and is stopped and waited for when the timer is destroyed.
///
/// On Windows the timer lives in a DLL, so it is destroyed when the DLL is detached from an
/// ending process: the system has then already ended the thread wherever it was. The
/// thread therefore sleeps on an event rather than on a condition variable (whose
/// destruction would wait forever for the waiter the system ended), and the destructor
/// takes no lock the ended thread might still hold.
class AlarmTimer {
  public:
    static AlarmTimer &instance();

    /// Arms (or re-arms) alarm nr of owner.
    void arm(const void *owner, int32_t nr, int32_t periodMs, bool cyclic, uint32_t processId,
             uint32_t signal);
    void disarm(const void *owner, int32_t nr);
    void disarm_all(const void *owner);
    /// Number of alarms of owner still armed.
    std::size_t armed(const void *owner);

    ~AlarmTimer();
    AlarmTimer(const AlarmTimer &) = delete;
    AlarmTimer &operator=(const AlarmTimer &) = delete;

  private:
    using Clock = std::chrono::steady_clock;
    struct Alarm {
        const void *owner;
        int32_t nr;
        std::chrono::milliseconds period;
        bool cyclic;
        uint32_t processId;
        uint32_t signal;
        Clock::time_point due;
    };
    struct Signal {
        uint32_t processId;
        uint32_t signal;
    };

    AlarmTimer() = default;
    void start_thread();
    void wake();
    static DWORD WINAPI thread_main(LPVOID timer);
    void run();
    DWORD wait_ms();
    std::vector<Signal> take_due_signals(Clock::time_point now);
    Clock::time_point next_deadline() const;
    static void send(const Signal &signal);

    std::mutex mutex_;
    std::vector<Alarm> alarms_;
    std::atomic<bool> stopping_ = false;
    HANDLE changed_ = nullptr; // auto-reset event: the alarms changed, or stop
    HANDLE thread_ = nullptr;
};

} // namespace sim

#endif
