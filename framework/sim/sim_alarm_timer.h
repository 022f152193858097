// The process's alarm timer: one thread that sends the signals of armed MT alarms.
#ifndef TRAX_SIM_ALARM_TIMER_H
#define TRAX_SIM_ALARM_TIMER_H

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {

/// Alarms wait for absolute deadlines on the monotonic clock. When one is due, its signal
/// is sent to the process that armed it through that process's named signal event; a
/// cyclic alarm is then due again one period later. The thread starts with the first
/// alarm and is stopped and joined when the process ends.
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
    void run();
    std::vector<Signal> take_due_signals(Clock::time_point now);
    Clock::time_point next_deadline() const;
    static void send(const Signal &signal);

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Alarm> alarms_;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace sim

#endif
