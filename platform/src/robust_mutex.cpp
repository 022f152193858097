// Robust mutexes with the one deadline type of the platform.
#include "robust_mutex.h"

#include <cerrno>
#include <ctime>

#include "errors.h"

namespace trax::platform {

int initRobustMutex(pthread_mutex_t *mutex, bool processShared) {
    pthread_mutexattr_t attr;
    int rc = pthread_mutexattr_init(&attr);
    if (rc != 0)
        return rc;
    rc = pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
    if (rc == 0)
        rc = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    if (rc == 0 && processShared)
        rc = pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
    if (rc == 0)
        rc = pthread_mutex_init(mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    return rc;
}

namespace {

// The deadline as an absolute time on CLOCK_MONOTONIC, the clock steady_clock reads.
timespec absoluteMonotonic(const Deadline &deadline) {
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(deadline.when().time_since_epoch())
            .count();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ns / 1000000000);
    ts.tv_nsec = static_cast<long>(ns % 1000000000);
    return ts;
}

int lockBefore(pthread_mutex_t *mutex, const Deadline &deadline) {
    if (deadline.isInfinite())
        return pthread_mutex_lock(mutex);
    if (deadline.hasPassed())
        return pthread_mutex_trylock(mutex);
    const timespec until = absoluteMonotonic(deadline);
    return pthread_mutex_clocklock(mutex, CLOCK_MONOTONIC, &until);
}

} // namespace

LockOutcome lockRobustMutex(pthread_mutex_t *mutex, const Deadline &deadline) {
    switch (const int rc = lockBefore(mutex, deadline)) {
    case 0:
        return LockOutcome::taken;
    case EOWNERDEAD:
        pthread_mutex_consistent(mutex);
        return LockOutcome::abandoned;
    case EBUSY:
    case ETIMEDOUT:
        return LockOutcome::timedOut;
    default:
        failErrno(rc);
        return LockOutcome::failed;
    }
}

} // namespace trax::platform
