// The signal machinery of one UOS_SigInit..UOS_SigExit period.
#include "signal_session.h"

#include <chrono>
#include <new>

#include "oss_internal.h"
#include "sig_event_name.h"
#include "trax_errors.h"

namespace trax::oss {

namespace {

/// Pause after a failed wait before the set is read again, so that a broken handle can
/// never make a listener spin.
constexpr DWORD kRetryAfterFailedWaitMs = 10;

/// Most signals of one code taken one after the other before the listener waits on its whole
/// set again.
constexpr uint32_t kFollowingBatch = 64;

void close_all(const std::vector<HANDLE> &handles) {
    for (HANDLE h : handles)
        CloseHandle(h);
}

/// Opens (or creates) the auto-reset named event through which code reaches this
/// process, with nothing pending; null on failure. A code removed a moment ago may still
/// have its event open, because the listener closes it only between two waits: the open
/// then returns that same event, and what was set for it while the code was removed is
/// dropped here, so that a re-installed code starts empty.
HANDLE open_signal_event(uint32_t code) {
    char name[TRAX_SIG_EVENT_NAME_MAX];
    trax_sig_event_name(GetCurrentProcessId(), code, name);
    HANDLE event = sys().createEvent(nullptr, FALSE, FALSE, name);
    if (event != nullptr)
        ResetEvent(event);
    return event;
}

} // namespace

/// Start parameter of a listener thread: its group, and a reference that keeps the
/// session alive until the thread has left it (also when the session is ended from inside
/// its own callback).
struct SignalSession::ThreadStart {
    std::shared_ptr<SignalSession> session;
    uint32_t group;
};

SignalSession::SignalSession(UOS_SIG_HANDLER handler) : handler_(handler) {}

SignalSession::~SignalSession() {
    for (const auto &entry : installed_)
        CloseHandle(entry.second.event);
    for (Listener &listener : listeners_) {
        close_all(listener.retired);
        if (listener.control != nullptr)
            CloseHandle(listener.control);
        if (listener.thread != nullptr)
            CloseHandle(listener.thread);
    }
}

uint32_t SignalSession::start() {
    std::lock_guard<std::mutex> guard(lock_);
    return start_listener(0);
}

// Called with the lock held; the new thread needs the lock only once it runs.
uint32_t SignalSession::start_listener(uint32_t group) {
    Listener &listener = listeners_[group];
    auto start = std::make_unique<ThreadStart>(ThreadStart{shared_from_this(), group});
    listener.control = sys().createEvent(nullptr, FALSE, FALSE, nullptr);
    if (listener.control == nullptr)
        return ERR_UOS_EVENT;
    listener.thread =
        sys().createThread(nullptr, 0, thread_main, start.get(), 0, &listener.threadId);
    if (listener.thread == nullptr) {
        CloseHandle(listener.control);
        listener.control = nullptr;
        return ERR_UOS_THREAD;
    }
    start.release(); // now owned by the thread
    return 0;
}

void SignalSession::stop() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        exiting_ = true;
    }
    arrived_.notify_all();
    const DWORD self = GetCurrentThreadId();
    for (uint32_t group = 0; group < kGroups; ++group) {
        const Listener &listener = listeners_[group];
        if (listener.thread == nullptr)
            continue;
        wake(group);
        if (listener.threadId != self)
            WaitForSingleObject(listener.thread, INFINITE);
    }
}

uint32_t SignalSession::install(uint32_t code) {
    uint32_t group = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (exiting_)
            return ERR_UOS_NOT_INIT;
        if (installed_.count(code) != 0)
            return ERR_UOS_ALREADY_INSTALLED;
        group = group_with_room();
        if (listeners_[group].thread == nullptr) {
            const uint32_t err = start_listener(group);
            if (err != 0)
                return err;
        }
        HANDLE event = open_signal_event(code);
        if (event == nullptr)
            return ERR_UOS_EVENT;
        try {
            installed_.emplace(code, Installed{event, group});
        } catch (...) {
            CloseHandle(event);
            throw;
        }
        ++groupSize_[group];
        ++listeners_[group].changes;
    }
    wake(group);
    return 0;
}

// The event is not closed here, since its listener may be waiting on it; the listener
// closes it before it waits again.
uint32_t SignalSession::remove(uint32_t code) {
    uint32_t group = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (exiting_)
            return ERR_UOS_NOT_INIT;
        auto entry = installed_.find(code);
        if (entry == installed_.end())
            return ERR_UOS_NOT_INSTALLED;
        group = entry->second.group;
        listeners_[group].retired.push_back(entry->second.event);
        --groupSize_[group];
        ++listeners_[group].changes;
        installed_.erase(entry);
    }
    wake(group);
    return 0;
}

void SignalSession::mask() {
    std::lock_guard<std::mutex> guard(lock_);
    masked_ = true;
}

void SignalSession::un_mask() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        masked_ = false;
    }
    arrived_.notify_all();
    wake(0);
}

uint32_t SignalSession::wait(uint32_t msec, uint32_t *codeP) {
    std::unique_lock<std::mutex> guard(lock_);
    if (handler_ != nullptr)
        return ERR_UOS_HANDLER_ACTIVE;
    if (waiterActive_)
        return ERR_UOS_BUSY;
    if (msec != 0)
        await_signal(guard, msec);
    if (exiting_)
        return ERR_UOS_NOT_INIT;
    if (!deliverable())
        return ERR_UOS_TIMEOUT;
    *codeP = queue_.front();
    queue_.pop_front();
    return 0;
}

// Marks the waiter as present while it blocks, so that a second blocking waiter is told
// BUSY instead of racing for the same signal. A poll (0 ms) never blocks and is not
// marked.
void SignalSession::await_signal(std::unique_lock<std::mutex> &guard, uint32_t msec) {
    waiterActive_ = true;
    auto ready = [this] { return exiting_ || deliverable(); };
    if (msec == INFINITE)
        arrived_.wait(guard, ready);
    else
        arrived_.wait_for(guard, std::chrono::milliseconds(msec), ready);
    waiterActive_ = false;
}

uint32_t SignalSession::queued() const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<uint32_t>(queue_.size());
}

uint32_t SignalSession::dropped() const {
    std::lock_guard<std::mutex> guard(lock_);
    return dropped_;
}

// There are enough groups for every code of the range, so one always has room.
uint32_t SignalSession::group_with_room() const {
    uint32_t group = 0;
    while (groupSize_[group] >= kCodesPerGroup)
        ++group;
    return group;
}

// Without memory for its wait set a listener cannot work at all; it then ends, and its
// codes' signals stay unseen, rather than taking the process down.
DWORD WINAPI SignalSession::thread_main(LPVOID param) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart *>(param));
    try {
        start->session->run(start->group);
    } catch (const std::bad_alloc &) {
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    return 0;
}

// Waits for any event of the group's codes or the control event; each arrival is queued.
// Listener 0 also hands queued signals to the callback before each wait. Events of removed
// codes are closed here, between two waits, where no wait can be using them.
void SignalSession::run(uint32_t group) {
    WaitSet set;
    std::vector<HANDLE> retired;
    // Sized once for the largest group, so that re-reading the set never allocates.
    set.handles.reserve(kMaxWaitHandles);
    set.codes.reserve(kCodesPerGroup);
    retired.reserve(kCodesPerGroup);
    while (take_wait_set(group, set, retired)) {
        close_all(retired);
        if (group == 0)
            deliver_queued();
        const DWORD count = static_cast<DWORD>(set.handles.size());
        const DWORD result = WaitForMultipleObjects(count, set.handles.data(), FALSE, INFINITE);
        if (result == WAIT_FAILED) {
            Sleep(kRetryAfterFailedWaitMs);
            continue;
        }
        const DWORD index = result - WAIT_OBJECT_0;
        if (index > 0 && index < count)
            on_arrival(set.codes[index - 1], set.handles[index], group);
        if (group == 0)
            deliver_queued(); // at once, before the set is read again
        if (index == 1 && count == 2)
            take_following(set.codes[0], set.handles[1], group);
    }
    close_all(retired);
}

// After a signal of the group's only code, takes the ones queued behind it without another
// wait on the whole set, as long as there are some (at most kFollowingBatch, so that the
// control event is looked at again soon). With a single code there is no order between codes
// to keep.
void SignalSession::take_following(uint32_t code, HANDLE event, uint32_t group) {
    for (uint32_t taken = 0;
         taken < kFollowingBatch && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; ++taken) {
        on_arrival(code, event, group);
        if (group == 0)
            deliver_queued();
    }
}

// Reads the group's current set of events under the lock, unless it is unchanged since the
// last read; false once the session ends.
bool SignalSession::take_wait_set(uint32_t group, WaitSet &set, std::vector<HANDLE> &retired) {
    std::lock_guard<std::mutex> guard(lock_);
    retired.clear();
    retired.swap(listeners_[group].retired);
    if (exiting_)
        return false;
    if (set.read && set.changes == listeners_[group].changes)
        return true;
    set.read = true;
    set.changes = listeners_[group].changes;
    set.handles.assign(1, listeners_[group].control);
    set.codes.clear();
    for (const auto &entry : installed_) {
        if (entry.second.group != group)
            continue;
        set.codes.push_back(entry.first);
        set.handles.push_back(entry.second.event);
    }
    return true;
}

void SignalSession::deliver_queued() {
    uint32_t code = 0;
    while (pop_for_callback(code))
        handler_(code);
}

bool SignalSession::pop_for_callback(uint32_t &code) {
    std::lock_guard<std::mutex> guard(lock_);
    if (handler_ == nullptr || exiting_ || !deliverable())
        return false;
    code = queue_.front();
    queue_.pop_front();
    return true;
}

// A signal whose code was removed while the listener waited is dropped. When the queue is
// full, the newest signal is dropped and counted. Without a callback a waiter is told;
// with one, listener 0 is woken to deliver what arrived in another group.
void SignalSession::on_arrival(uint32_t code, HANDLE event, uint32_t group) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto entry = installed_.find(code);
        if (entry == installed_.end() || entry->second.event != event)
            return;
        if (!enqueue(code))
            return;
    }
    if (handler_ == nullptr)
        arrived_.notify_all();
    else if (group != 0)
        wake(0);
}

// Called with the lock held; false (and counted) when the signal had to be dropped.
bool SignalSession::enqueue(uint32_t code) {
    if (queue_.size() < kSignalQueueCapacity) {
        try {
            queue_.push_back(code);
            return true;
        } catch (const std::bad_alloc &) {
            // Counted with the overflow below: the signal is lost either way.
        }
    }
    ++dropped_;
    return false;
}

bool SignalSession::deliverable() const {
    return !masked_ && !queue_.empty();
}

void SignalSession::wake(uint32_t group) {
    SetEvent(listeners_[group].control);
}

} // namespace trax::oss
