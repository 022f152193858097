// Mutexes with the Windows rules: owned by a thread, recursive, and handed to the next
// waiter with WAIT_ABANDONED when the owner ends without releasing it. A named mutex lives
// in a shared region, so the rules hold between processes too.
#include <atomic>

#include "handles.h"
#include "robust_mutex.h"
#include "shared_regions.h"

namespace trax::platform {
namespace {

class MutexObject final : public KernelObject {
  public:
    static constexpr Kind kKind = Kind::mutex;

    explicit MutexObject(std::shared_ptr<SharedRegion> region) noexcept
        : KernelObject(kKind), region_(std::move(region)) {}

    DWORD waitFor(const Deadline &deadline) override {
        switch (lockRobustMutex(mutex(), deadline)) {
        case LockOutcome::taken:
            noteTaken(false);
            return WAIT_OBJECT_0;
        case LockOutcome::abandoned:
            noteTaken(true);
            return WAIT_ABANDONED;
        case LockOutcome::timedOut:
            return WAIT_TIMEOUT;
        case LockOutcome::failed:
            break;
        }
        return WAIT_FAILED;
    }

    // Only the owner may release: it is checked here, before the system sees an unlock
    // that it would also refuse, but that thread checkers report as misuse.
    BOOL release() {
        if (owner_.load(std::memory_order_relaxed) != pthread_self())
            return fail(ERROR_NOT_OWNER);
        if (--depth_ == 0)
            owner_.store(pthread_t{}, std::memory_order_relaxed);
        const int rc = pthread_mutex_unlock(mutex());
        return rc == 0 ? TRUE : failErrno(rc);
    }

  private:
    // Records the calling thread as this process's owner. Only the owner writes these, so
    // a hold left by a thread that died is simply replaced.
    void noteTaken(bool abandoned) {
        if (abandoned || owner_.load(std::memory_order_relaxed) != pthread_self()) {
            owner_.store(pthread_self(), std::memory_order_relaxed);
            depth_ = 0;
        }
        ++depth_;
    }

    pthread_mutex_t *mutex() const { return static_cast<pthread_mutex_t *>(region_->data()); }

    std::shared_ptr<SharedRegion> region_;
    std::atomic<pthread_t> owner_{}; ///< owning thread of this process, if any
    unsigned depth_ = 0;             ///< how often the owner holds it
};

constexpr char kKindName[] = "mtx";

bool initMutex(void *data) {
    const int rc = initRobustMutex(static_cast<pthread_mutex_t *>(data), true);
    return rc == 0 || failErrno(rc);
}

// The region of the mutex: a new private one for an unnamed mutex, else the named one,
// made if create is set.
std::shared_ptr<SharedRegion> mutexRegion(LPCSTR name, bool create, bool &existed) {
    existed = false;
    if (name == nullptr || name[0] == '\0')
        return createPrivateRegion(sizeof(pthread_mutex_t), initMutex);
    return openSharedRegion(kKindName, name, sizeof(pthread_mutex_t), create, initMutex, existed);
}

HANDLE openMutex(LPCSTR name, bool create, bool initialOwner) {
    return trax::guardEntry(
        [&]() -> HANDLE {
            bool existed = false;
            auto region = mutexRegion(name, create, existed);
            if (!region)
                return nullptr;
            auto mutex = std::make_shared<MutexObject>(std::move(region));
            if (initialOwner && !existed)
                mutex->waitFor(Deadline::after(INFINITE));
            HANDLE handle = insertHandle(mutex);
            if (handle == nullptr && initialOwner && !existed)
                mutex->release();
            SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
            return handle != nullptr ? handle : failHandle(ERROR_NOT_ENOUGH_MEMORY);
        },
        handleOnFault);
}

} // namespace
} // namespace trax::platform

using namespace trax::platform;

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES, BOOL initialOwner, LPCSTR name) {
    return openMutex(name, true, initialOwner != FALSE);
}

HANDLE WINAPI OpenMutexA(DWORD, BOOL, LPCSTR name) {
    if (name == nullptr || name[0] == '\0')
        return failHandle(ERROR_INVALID_PARAMETER);
    return openMutex(name, false, false);
}

BOOL WINAPI ReleaseMutex(HANDLE handle) {
    auto mutex = findHandleOf<MutexObject>(handle);
    if (!mutex)
        return FALSE;
    return mutex->release();
}
