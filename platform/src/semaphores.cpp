// Unnamed counting semaphores. Waiters are served in arrival order and a release hands its
// tokens straight to the waiters already queued, so a thread that releases and at once
// waits again cannot take the token back from a thread that was waiting before it.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

#include "handles.h"

namespace trax::platform {
namespace {

class SemaphoreObject final : public KernelObject {
  public:
    static constexpr Kind kKind = Kind::semaphore;

    // Not noexcept: the waiter queue may allocate when it is made.
    SemaphoreObject(LONG initial, LONG maximum)
        : KernelObject(kKind), count_(initial), maximum_(maximum) {}

    DWORD waitFor(const Deadline &deadline) override {
        std::unique_lock lock(lock_);
        if (queue_.empty() && count_ > 0) {
            --count_;
            return WAIT_OBJECT_0;
        }
        Waiter self;
        queue_.push_back(&self);
        if (waitUntil(self.granted, lock, deadline, [&self] { return self.hasToken; }))
            return WAIT_OBJECT_0;
        std::erase(queue_, &self);
        return WAIT_TIMEOUT;
    }

    BOOL release(LONG releaseCount, LPLONG previousCount) {
        std::lock_guard guard(lock_);
        if (static_cast<int64_t>(count_) + releaseCount > maximum_)
            return fail(ERROR_TOO_MANY_POSTS);
        if (previousCount != nullptr)
            *previousCount = count_;
        for (; releaseCount > 0 && !queue_.empty(); --releaseCount)
            grantFirstWaiter();
        count_ += releaseCount;
        return TRUE;
    }

  private:
    struct Waiter {
        std::condition_variable granted;
        bool hasToken = false;
    };

    void grantFirstWaiter() {
        Waiter *first = queue_.front();
        queue_.pop_front();
        first->hasToken = true;
        first->granted.notify_one();
    }

    std::mutex lock_;
    std::deque<Waiter *> queue_;
    LONG count_;
    LONG maximum_;
};

} // namespace
} // namespace trax::platform

using namespace trax::platform;

HANDLE WINAPI CreateSemaphoreA(LPSECURITY_ATTRIBUTES, LONG initialCount, LONG maximumCount,
                               LPCSTR name) {
    if (name != nullptr && name[0] != '\0')
        return failHandle(ERROR_NOT_SUPPORTED);
    if (maximumCount <= 0 || initialCount < 0 || initialCount > maximumCount)
        return failHandle(ERROR_INVALID_PARAMETER);
    return trax::guardEntry(
        [&] { return insertHandle(std::make_shared<SemaphoreObject>(initialCount, maximumCount)); },
        handleOnFault);
}

BOOL WINAPI ReleaseSemaphore(HANDLE sem, LONG releaseCount, LPLONG previousCount) {
    auto semaphore = findHandleOf<SemaphoreObject>(sem);
    if (!semaphore)
        return FALSE;
    if (releaseCount <= 0)
        return fail(ERROR_INVALID_PARAMETER);
    return semaphore->release(releaseCount, previousCount);
}
