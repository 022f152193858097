// The alarm timer thread of the MT test driver.
#include "sim_alarm_timer.h"

#include <algorithm>

#include "sig_event_name.h"
#include "trax_win32.h"

namespace sim {

AlarmTimer &AlarmTimer::instance() {
    static AlarmTimer timer;
    return timer;
}

AlarmTimer::~AlarmTimer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void AlarmTimer::arm(const void *owner, int32_t nr, int32_t periodMs, bool cyclic,
                     uint32_t processId, uint32_t signal) {
    std::lock_guard lock(mutex_);
    // The thread is started first: if it cannot start (the exception reaches the caller),
    // no alarm is left behind that would never fire.
    if (!thread_.joinable()) {
        thread_ = std::thread(&AlarmTimer::run, this);
    }
    const std::chrono::milliseconds period(periodMs);
    const Alarm alarm{owner, nr, period, cyclic, processId, signal, Clock::now() + period};
    alarms_.reserve(alarms_.size() + 1);
    std::erase_if(alarms_, [&](const Alarm &a) { return a.owner == owner && a.nr == nr; });
    alarms_.push_back(alarm);
    changed_.notify_all();
}

void AlarmTimer::disarm(const void *owner, int32_t nr) {
    std::lock_guard lock(mutex_);
    std::erase_if(alarms_, [&](const Alarm &a) { return a.owner == owner && a.nr == nr; });
    changed_.notify_all();
}

void AlarmTimer::disarm_all(const void *owner) {
    std::lock_guard lock(mutex_);
    std::erase_if(alarms_, [&](const Alarm &a) { return a.owner == owner; });
    changed_.notify_all();
}

std::size_t AlarmTimer::armed(const void *owner) {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(
        alarms_.begin(), alarms_.end(), [&](const Alarm &a) { return a.owner == owner; }));
}

AlarmTimer::Clock::time_point AlarmTimer::next_deadline() const {
    auto next = Clock::time_point::max();
    for (const Alarm &alarm : alarms_) {
        next = std::min(next, alarm.due);
    }
    return next;
}

// Collects the signals of all due alarms, moves cyclic ones on by whole periods (a late
// timer does not send a burst to catch up) and removes the one-shot ones.
std::vector<AlarmTimer::Signal> AlarmTimer::take_due_signals(Clock::time_point now) {
    std::vector<Signal> due;
    for (Alarm &alarm : alarms_) {
        if (alarm.due > now) {
            continue;
        }
        due.push_back({alarm.processId, alarm.signal});
        if (alarm.cyclic) {
            while (alarm.due <= now) {
                alarm.due += alarm.period;
            }
        }
    }
    std::erase_if(alarms_, [&](const Alarm &a) { return !a.cyclic && a.due <= now; });
    return due;
}

void AlarmTimer::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        const auto deadline = next_deadline();
        if (deadline == Clock::time_point::max()) {
            changed_.wait(lock);
        } else {
            changed_.wait_until(lock, deadline);
        }
        if (stopping_) {
            break;
        }
        const std::vector<Signal> due = take_due_signals(Clock::now());
        lock.unlock();
        std::for_each(due.begin(), due.end(), &AlarmTimer::send);
        lock.lock();
    }
}

// Opens the receiving process's named event for the signal, sets it and lets go of it
// again: the receiver keeps its own handle, so the event lives on.
void AlarmTimer::send(const Signal &signal) {
    char name[TRAX_SIG_EVENT_NAME_MAX];
    trax_sig_event_name(signal.processId, signal.signal, name);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name);
    if (event != nullptr) {
        SetEvent(event);
        CloseHandle(event);
    }
}

} // namespace sim
