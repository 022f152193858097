/* One period of signal handling, from UOS_SigInit to UOS_SigExit: the named events of the
 * installed codes, the library thread that waits on them, the queue of received signals,
 * the mask and the registered callback. */
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
#include "usr_oss_decl.h"

namespace trax::oss {

/** Every signal arrives through the auto-reset named event of its code, is appended to the
 *  queue by the library thread and leaves the queue either to the callback (called on the
 *  library thread) or to UOS_SigWait. While masked, signals keep arriving and stay queued.
 *
 *  Methods return 0 or an ERR_UOS_* number. The callback is never called with the lock
 *  held, so it may call any library function, UOS_SigExit included. */
class SignalSession : public std::enable_shared_from_this<SignalSession> {
public:
    explicit SignalSession(UOS_SIG_HANDLER handler);
    ~SignalSession();
    SignalSession(const SignalSession &) = delete;
    SignalSession &operator=(const SignalSession &) = delete;

    /** Creates the control event and starts the library thread. */
    uint32_t Start();
    /** Ends the session: no callback runs after it returns (unless it is called from the
     *  callback itself, which then is the last one), and a waiter returns NOT_INIT. */
    void Stop();

    uint32_t Install(uint32_t code);
    uint32_t Remove(uint32_t code);
    void Mask();
    void UnMask();
    /** Takes the oldest queued signal, waiting up to msec ms (INFINITE: forever). */
    uint32_t Wait(uint32_t msec, uint32_t *codeP);

    uint32_t Queued() const;
    uint32_t Dropped() const;

private:
    /** What the library thread waits on: the control event first, then each code's event. */
    struct WaitSet {
        std::vector<HANDLE> handles;
        std::vector<uint32_t> codes;
    };

    static DWORD WINAPI ThreadMain(LPVOID param);
    void Run();
    bool TakeWaitSet(WaitSet &set, std::vector<HANDLE> &retired);
    void AwaitSignal(std::unique_lock<std::mutex> &guard, uint32_t msec);
    void DeliverQueued();
    bool PopForCallback(uint32_t &code);
    void OnArrival(uint32_t code, HANDLE event);
    bool Deliverable() const;
    void WakeThread();

    const UOS_SIG_HANDLER handler_;
    mutable std::mutex lock_;
    std::condition_variable arrived_;
    std::map<uint32_t, HANDLE> installed_;
    std::vector<HANDLE> retired_;
    std::deque<uint32_t> queue_;
    uint32_t dropped_ = 0;
    bool masked_ = false;
    bool exiting_ = false;
    bool waiterActive_ = false;
    HANDLE control_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
};

}  // namespace trax::oss

#endif
