// Threads: CreateThread starts a detached POSIX thread that keeps its own reference to the
// thread object, so closing the handle of a running thread leaks nothing; the object is
// signalled when the start routine returns.
#include <pthread.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <new>

#include "handles.h"

namespace trax::platform {
namespace {

class ThreadObject final : public KernelObject {
  public:
    static constexpr Kind kKind = Kind::thread;

    ThreadObject(LPTHREAD_START_ROUTINE start, LPVOID param) noexcept
        : KernelObject(kKind), start_(start), param_(param) {}

    /// Body of the new thread: publishes its id, runs the start routine, then signals.
    void run() {
        publishId();
        start_(param_);
        std::lock_guard guard(lock_);
        finished_ = true;
        changed_.notify_all();
    }

    /// The new thread's id, once it has started.
    DWORD waitForId() {
        std::unique_lock lock(lock_);
        changed_.wait(lock, [this] { return id_ != 0; });
        return id_;
    }

    DWORD waitFor(const Deadline &deadline) override {
        std::unique_lock lock(lock_);
        return waitUntil(changed_, lock, deadline, [this] { return finished_; }) ? WAIT_OBJECT_0
                                                                                 : WAIT_TIMEOUT;
    }

  private:
    void publishId() {
        std::lock_guard guard(lock_);
        id_ = static_cast<DWORD>(gettid());
        changed_.notify_all();
    }

    LPTHREAD_START_ROUTINE start_;
    LPVOID param_;
    std::mutex lock_;
    std::condition_variable changed_;
    DWORD id_ = 0;
    bool finished_ = false;
};

void *threadMain(void *arg) {
    std::unique_ptr<std::shared_ptr<ThreadObject>> self(
        static_cast<std::shared_ptr<ThreadObject> *>(arg));
    (*self)->run();
    return nullptr;
}

// Starts the detached thread; the requested stack size is a minimum, never below the
// system default. Returns 0 or the pthread error number.
int spawnThread(const std::shared_ptr<ThreadObject> &thread, SIZE_T stackSize) {
    pthread_attr_t attr;
    int error = pthread_attr_init(&attr);
    if (error != 0)
        return error;
    size_t defaultSize = 0;
    pthread_attr_getstacksize(&attr, &defaultSize);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    error = pthread_attr_setstacksize(&attr, std::max<size_t>(stackSize, defaultSize));
    if (error == 0) {
        auto *reference = new (std::nothrow) std::shared_ptr<ThreadObject>(thread);
        if (reference == nullptr) {
            pthread_attr_destroy(&attr);
            return ENOMEM;
        }
        pthread_t id;
        error = pthread_create(&id, &attr, threadMain, reference);
        if (error != 0)
            delete reference;
    }
    pthread_attr_destroy(&attr);
    return error;
}

} // namespace
} // namespace trax::platform

using namespace trax::platform;

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T stackSize, LPTHREAD_START_ROUTINE start,
                           LPVOID param, DWORD flags, LPDWORD threadId) {
    // Suspended start and the other creation flags are not offered.
    if (start == nullptr || flags != 0)
        return failHandle(ERROR_INVALID_PARAMETER);
    return trax::guardEntry(
        [&]() -> HANDLE {
            auto thread = std::make_shared<ThreadObject>(start, param);
            HANDLE handle = insertHandle(thread);
            if (handle == nullptr)
                return nullptr;
            const int error = spawnThread(thread, stackSize);
            if (error != 0) {
                removeHandle(handle);
                return failHandle(translateErrno(error));
            }
            if (threadId != nullptr)
                *threadId = thread->waitForId();
            return handle;
        },
        handleOnFault);
}

DWORD WINAPI GetCurrentThreadId(void) {
    return static_cast<DWORD>(gettid());
}

DWORD WINAPI GetCurrentProcessId(void) {
    return static_cast<DWORD>(getpid());
}
