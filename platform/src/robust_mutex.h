// Robust mutexes: a thread that dies while holding one hands it to the next locker, which
// learns that the holder died. Used for the Windows mutexes and for the bookkeeping of the
// objects that processes share.
#ifndef TRAX_PLATFORM_ROBUST_MUTEX_H
#define TRAX_PLATFORM_ROBUST_MUTEX_H

#include <pthread.h>

#include "wait_core.h"

namespace trax::platform {

enum class LockOutcome { taken, abandoned, timedOut, failed };

/// Makes a robust, recursive mutex; processShared for one that lives in shared memory.
/// Returns 0 or a POSIX error number.
int initRobustMutex(pthread_mutex_t *mutex, bool processShared);

/// Locks the mutex before the deadline. A holder that died leaves the mutex to this caller
/// (abandoned), which is then made usable again at once, as Windows does. On failed the
/// last error is set.
LockOutcome lockRobustMutex(pthread_mutex_t *mutex, const Deadline &deadline);

/// Holds a robust mutex for a scope; the bookkeeping it guards is checked by the caller,
/// so an abandoned lock counts as taken.
class RobustGuard {
  public:
    explicit RobustGuard(pthread_mutex_t *mutex)
        : mutex_(mutex),
          held_(lockRobustMutex(mutex, Deadline::after(INFINITE)) != LockOutcome::failed) {}
    ~RobustGuard() {
        if (held_)
            pthread_mutex_unlock(mutex_);
    }
    RobustGuard(const RobustGuard &) = delete;
    RobustGuard &operator=(const RobustGuard &) = delete;
    bool held() const { return held_; }

  private:
    pthread_mutex_t *mutex_;
    bool held_;
};

} // namespace trax::platform

#endif
