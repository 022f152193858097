// The alarm timer thread of the MT test driver.
#include "sim_alarm_timer.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "sig_event_name.h"

namespace sim {

AlarmTimer &AlarmTimer::instance() {
    static AlarmTimer timer;
    return timer;
}

AlarmTimer::~AlarmTimer() {
    if (thread_ != nullptr) {
        stopping_ = true;
        wake();
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
    if (changed_ != nullptr) {
        CloseHandle(changed_);
    }
}

// Called with mutex_ held, so only one caller starts the thread. The event and the thread
// are the framework's own: their handles must not take the numbers that the program's get.
void AlarmTimer::start_thread() {
    const BOOL wasInternal = TraxSetInternalHandles(TRUE);
    if (changed_ == nullptr) {
        changed_ = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    }
    if (changed_ != nullptr) {
        thread_ = CreateThread(nullptr, 0, &AlarmTimer::thread_main, this, 0, nullptr);
    }
    TraxSetInternalHandles(wasInternal);
    if (thread_ == nullptr) {
        const DWORD error = GetLastError();
        if (error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY) {
            throw std::bad_alloc();
        }
        throw std::runtime_error("alarm timer: no thread");
    }
}

// Lets the thread see the changed alarms (or the stop); nothing to do before it runs.
void AlarmTimer::wake() {
    if (changed_ != nullptr) {
        SetEvent(changed_);
    }
}

DWORD WINAPI AlarmTimer::thread_main(LPVOID timer) {
    TraxSetInternalHandles(TRUE); // for the signal events it opens
    static_cast<AlarmTimer *>(timer)->run();
    return 0;
}

void AlarmTimer::arm(const void *owner, int32_t nr, int32_t periodMs, bool cyclic,
                     uint32_t processId, uint32_t signal) {
    std::lock_guard lock(mutex_);
    // The thread is started first: if it cannot start (the exception reaches the caller),
    // no alarm is left behind that would never fire.
    if (thread_ == nullptr) {
        start_thread();
    }
    const std::chrono::milliseconds period(periodMs);
    const Alarm alarm{owner, nr, period, cyclic, processId, signal, Clock::now() + period};
    alarms_.reserve(alarms_.size() + 1);
    std::erase_if(alarms_, [&](const Alarm &a) { return a.owner == owner && a.nr == nr; });
    alarms_.push_back(alarm);
    wake();
}

void AlarmTimer::disarm(const void *owner, int32_t nr) {
    std::lock_guard lock(mutex_);
    std::erase_if(alarms_, [&](const Alarm &a) { return a.owner == owner && a.nr == nr; });
    wake();
}

void AlarmTimer::disarm_all(const void *owner) {
    std::lock_guard lock(mutex_);
    std::erase_if(alarms_, [&](const Alarm &a) { return a.owner == owner; });
    wake();
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

// Time until the next alarm is due, rounded up so that the thread does not wake early and
// spin; INFINITE when no alarm is armed.
DWORD AlarmTimer::wait_ms() {
    std::lock_guard lock(mutex_);
    const auto deadline = next_deadline();
    if (deadline == Clock::time_point::max()) {
        return INFINITE;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<DWORD>(std::clamp<long long>(left, 0, INFINITE - 1));
}

void AlarmTimer::run() {
    while (!stopping_) {
        WaitForSingleObject(changed_, wait_ms());
        if (stopping_) {
            break;
        }
        std::vector<Signal> due;
        {
            std::lock_guard lock(mutex_);
            due = take_due_signals(Clock::now());
        }
        std::for_each(due.begin(), due.end(), &AlarmTimer::send);
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
