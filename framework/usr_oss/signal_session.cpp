/* The signal machinery of one UOS_SigInit..UOS_SigExit period. */
#include "signal_session.h"

#include <chrono>

#include "oss_internal.h"
#include "sig_event_name.h"
#include "trax_errors.h"

namespace trax::oss {

namespace {

/** Pause after a failed wait before the set is read again, so that a broken handle can
 *  never make the library thread spin. */
constexpr DWORD kRetryAfterFailedWaitMs = 10;

void CloseAll(const std::vector<HANDLE> &handles)
{
    for (HANDLE h : handles)
        CloseHandle(h);
}

}  // namespace

SignalSession::SignalSession(UOS_SIG_HANDLER handler) : handler_(handler) {}

SignalSession::~SignalSession()
{
    for (const auto &entry : installed_)
        CloseHandle(entry.second);
    CloseAll(retired_);
    if (control_ != nullptr)
        CloseHandle(control_);
    if (thread_ != nullptr)
        CloseHandle(thread_);
}

/* The thread keeps the session alive through its own reference, so that a session ended
 * from inside its callback is destroyed only after the thread has left it. */
uint32_t SignalSession::Start()
{
    control_ = Sys().createEvent(nullptr, FALSE, FALSE, nullptr);
    if (control_ == nullptr)
        return ERR_UOS_EVENT;
    auto *self = new std::shared_ptr<SignalSession>(shared_from_this());
    thread_ = Sys().createThread(nullptr, 0, ThreadMain, self, 0, &threadId_);
    if (thread_ == nullptr) {
        delete self;
        return ERR_UOS_THREAD;
    }
    return 0;
}

void SignalSession::Stop()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        exiting_ = true;
    }
    arrived_.notify_all();
    WakeThread();
    if (GetCurrentThreadId() != threadId_)
        WaitForSingleObject(thread_, INFINITE);
}

uint32_t SignalSession::Install(uint32_t code)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (installed_.count(code) != 0)
            return ERR_UOS_ALREADY_INSTALLED;
        char name[TRAX_SIG_EVENT_NAME_MAX];
        TraxSigEventName(GetCurrentProcessId(), code, name);
        HANDLE event = Sys().createEvent(nullptr, FALSE, FALSE, name);
        if (event == nullptr)
            return ERR_UOS_EVENT;
        installed_[code] = event;
    }
    WakeThread();
    return 0;
}

/* The event is not closed here, since the library thread may be waiting on it; the
 * thread closes it before it waits again. */
uint32_t SignalSession::Remove(uint32_t code)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto entry = installed_.find(code);
        if (entry == installed_.end())
            return ERR_UOS_NOT_INSTALLED;
        retired_.push_back(entry->second);
        installed_.erase(entry);
    }
    WakeThread();
    return 0;
}

void SignalSession::Mask()
{
    std::lock_guard<std::mutex> guard(lock_);
    masked_ = true;
}

void SignalSession::UnMask()
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        masked_ = false;
    }
    arrived_.notify_all();
    WakeThread();
}

uint32_t SignalSession::Wait(uint32_t msec, uint32_t *codeP)
{
    std::unique_lock<std::mutex> guard(lock_);
    if (handler_ != nullptr)
        return ERR_UOS_HANDLER_ACTIVE;
    if (waiterActive_)
        return ERR_UOS_BUSY;
    if (msec != 0)
        AwaitSignal(guard, msec);
    if (exiting_)
        return ERR_UOS_NOT_INIT;
    if (!Deliverable())
        return ERR_UOS_TIMEOUT;
    *codeP = queue_.front();
    queue_.pop_front();
    return 0;
}

/* Marks the waiter as present while it blocks, so that a second blocking waiter is told
 * BUSY instead of racing for the same signal. A poll (0 ms) never blocks and is not
 * marked. */
void SignalSession::AwaitSignal(std::unique_lock<std::mutex> &guard, uint32_t msec)
{
    waiterActive_ = true;
    auto ready = [this] { return exiting_ || Deliverable(); };
    if (msec == INFINITE)
        arrived_.wait(guard, ready);
    else
        arrived_.wait_for(guard, std::chrono::milliseconds(msec), ready);
    waiterActive_ = false;
}

uint32_t SignalSession::Queued() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<uint32_t>(queue_.size());
}

uint32_t SignalSession::Dropped() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return dropped_;
}

DWORD WINAPI SignalSession::ThreadMain(LPVOID param)
{
    std::unique_ptr<std::shared_ptr<SignalSession>> self(
        static_cast<std::shared_ptr<SignalSession> *>(param));
    (*self)->Run();
    return 0;
}

/* Waits for any installed code's event or the control event; each arrival is queued and,
 * with a callback, delivered before the next wait. Handles of removed codes are closed
 * here, between two waits, where no wait can be using them. */
void SignalSession::Run()
{
    WaitSet set;
    std::vector<HANDLE> retired;
    while (TakeWaitSet(set, retired)) {
        CloseAll(retired);
        DeliverQueued();
        const DWORD count = static_cast<DWORD>(set.handles.size());
        const DWORD result = WaitForMultipleObjects(count, set.handles.data(), FALSE, INFINITE);
        if (result == WAIT_FAILED) {
            Sleep(kRetryAfterFailedWaitMs);
            continue;
        }
        const DWORD index = result - WAIT_OBJECT_0;
        if (index > 0 && index < count)
            OnArrival(set.codes[index - 1], set.handles[index]);
    }
}

/* Reads the current set of events under the lock; false once the session ends. */
bool SignalSession::TakeWaitSet(WaitSet &set, std::vector<HANDLE> &retired)
{
    std::lock_guard<std::mutex> guard(lock_);
    retired.clear();
    retired.swap(retired_);
    if (exiting_)
        return false;
    set.handles.assign(1, control_);
    set.codes.clear();
    for (const auto &entry : installed_) {
        set.codes.push_back(entry.first);
        set.handles.push_back(entry.second);
    }
    return true;
}

void SignalSession::DeliverQueued()
{
    uint32_t code = 0;
    while (PopForCallback(code))
        handler_(code);
}

bool SignalSession::PopForCallback(uint32_t &code)
{
    std::lock_guard<std::mutex> guard(lock_);
    if (handler_ == nullptr || exiting_ || !Deliverable())
        return false;
    code = queue_.front();
    queue_.pop_front();
    return true;
}

/* A signal whose code was removed while the thread waited is dropped. When the queue is
 * full, the newest signal is dropped and counted. */
void SignalSession::OnArrival(uint32_t code, HANDLE event)
{
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto entry = installed_.find(code);
        if (entry == installed_.end() || entry->second != event)
            return;
        if (queue_.size() >= kSignalQueueCapacity) {
            ++dropped_;
            return;
        }
        queue_.push_back(code);
    }
    arrived_.notify_all();
}

bool SignalSession::Deliverable() const
{
    return !masked_ && !queue_.empty();
}

void SignalSession::WakeThread()
{
    SetEvent(control_);
}

}  // namespace trax::oss
