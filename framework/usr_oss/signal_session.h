// One period of signal handling, from UOS_SigInit to UOS_SigExit: the named events of the
// installed codes, the library thread that waits on them, the queue of received signals,
// the mask and the registered callback.
#ifndef USR_OSS_SIGNAL_SESSION_H
#define USR_OSS_SIGNAL_SESSION_H

#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "trax_win32.h"
#include "usr_oss.h"

namespace trax::oss {

/// Every signal arrives through the auto-reset named event of its code, is appended to the
/// queue by the library thread and leaves the queue either to the callback (called on the
/// library thread) or to UOS_SigWait. While masked, signals keep arriving and stay queued.
///
/// Methods return 0 or an ERR_UOS_* number. The callback is never called with the lock
/// held, so it may call any library function, UOS_SigExit included.
class SignalSession : public std::enable_shared_from_this<SignalSession> {
  public:
    explicit SignalSession(UOS_SIG_HANDLER handler);
    ~SignalSession();
    SignalSession(const SignalSession &) = delete;
    SignalSession &operator=(const SignalSession &) = delete;

    /// Starts the first listener thread (the one that also calls the callback).
    uint32_t start();
    /// Ends the session: no callback runs after it returns (unless it is called from the
    /// callback itself, which then is the last one), and a waiter returns NOT_INIT.
    void stop();

    uint32_t install(uint32_t code);
    uint32_t remove(uint32_t code);
    void mask();
    void un_mask();
    /// Takes the oldest queued signal, waiting up to msec ms (INFINITE: forever).
    uint32_t wait(uint32_t msec, uint32_t *codeP);

    uint32_t queued() const;
    uint32_t dropped() const;

  private:
    /// A wait covers at most 64 handles, the control event included, so the installed
    /// codes are split into groups of at most 63, each with its own listener thread.
    /// A code joins the lowest group with room, so up to 63 codes share listener 0 and
    /// keep their exact sending order. Listener 0 always runs and is the one that calls
    /// the callback; the others start with the first code placed in their group.
    static constexpr uint32_t kMaxWaitHandles = 64;
    static constexpr uint32_t kCodesPerGroup = kMaxWaitHandles - 1;
    static constexpr uint32_t kGroups =
        (UOS_SIG_MAX - UOS_SIG_MIN + kCodesPerGroup) / kCodesPerGroup;

    /// A listener thread with the event that wakes it to re-read its set or to end.
    struct Listener {
        HANDLE control = nullptr;
        HANDLE thread = nullptr;
        DWORD threadId = 0;
        std::vector<HANDLE> retired; // events of removed codes, closed by the thread
        uint32_t changes = 0;        // codes installed in or removed from the group so far
    };

    /// What a listener waits on: its control event first, then each code's event; read
    /// again only after the group's codes have changed.
    struct WaitSet {
        std::vector<HANDLE> handles;
        std::vector<uint32_t> codes;
        bool read = false;
        uint32_t changes = 0; // the group's count of changes when the set was read
    };

    /// An installed code: its named event and the listener that waits on it.
    struct Installed {
        HANDLE event;
        uint32_t group;
    };

    struct ThreadStart;

    uint32_t group_with_room() const;
    static DWORD WINAPI thread_main(LPVOID param);
    uint32_t start_listener(uint32_t group);
    void run(uint32_t group);
    bool take_wait_set(uint32_t group, WaitSet &set, std::vector<HANDLE> &retired);
    void await_signal(std::unique_lock<std::mutex> &guard, uint32_t msec);
    void deliver_queued();
    bool pop_for_callback(uint32_t &code);
    void on_arrival(uint32_t code, HANDLE event, uint32_t group);
    void take_following(uint32_t code, HANDLE event, uint32_t group);
    bool enqueue(uint32_t code);
    bool deliverable() const;
    void wake(uint32_t group);

    const UOS_SIG_HANDLER handler_;
    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::map<uint32_t, Installed> installed_;
    std::deque<uint32_t> queue_;
    uint32_t dropped_ = 0;
    bool masked_ = false;
    bool exiting_ = false;
    bool waiterActive_ = false;
    Listener listeners_[kGroups];
    uint32_t groupSize_[kGroups] = {};
};

} // namespace trax::oss

#endif
