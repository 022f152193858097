/* I/O control on a path: the device semaphore and a delay carried out by the kernel. */
#include <cerrno>
#include <cstring>
#include <ctime>

#include "sim_path.h"
#include "trax_codes.h"

namespace sim {

namespace {

constexpr long kNanosPerMilli = 1000000L;
constexpr long kNanosPerSecond = 1000000000L;

// Sleeps until an absolute deadline on the monotonic clock, so that interruptions and
// scheduling delays do not add up.
void delay_ms(int32_t ms) {
    timespec deadline{};
    clock_gettime(CLOCK_MONOTONIC, &deadline);
    deadline.tv_sec += ms / 1000;
    deadline.tv_nsec += static_cast<long>(ms % 1000) * kNanosPerMilli;
    if (deadline.tv_nsec >= kNanosPerSecond) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= kNanosPerSecond;
    }
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
    }
}

Status int_argument(LPVOID in, DWORD inSize, int32_t *value) {
    if (in == nullptr || inSize < sizeof(int32_t)) {
        return ERR_MK_ILL_IOCTL;
    }
    std::memcpy(value, in, sizeof *value);
    return ERR_SUCCESS;
}

bool is_closed(Path &path) {
    std::lock_guard lock(path.device->mutex());
    return path.closed;
}

Status wait_semaphore(Path &path, LPVOID in, DWORD inSize) {
    int32_t timeoutMs = 0;
    if (Status status = int_argument(in, inSize, &timeoutMs)) {
        return status;
    }
    return path.device->semaphore().take(&path, timeoutMs);
}

Status delay(LPVOID in, DWORD inSize) {
    int32_t ms = 0;
    if (Status status = int_argument(in, inSize, &ms)) {
        return status;
    }
    if (ms < 0) {
        return ERR_MK_ILL_PARAM;
    }
    delay_ms(ms);
    return ERR_SUCCESS;
}

Status control(Path &path, DWORD code, LPVOID in, DWORD inSize) {
    if (is_closed(path)) {
        return ERR_MK_ILL_PATH;
    }
    switch (code) {
    case MK_IOCTL_DEVSEM_WAIT:
        return wait_semaphore(path, in, inSize);
    case MK_IOCTL_DEVSEM_RELEASE:
        return path.device->semaphore().give(&path);
    case MK_IOCTL_DELAY:
        return delay(in, inSize);
    default:
        return ERR_MK_ILL_IOCTL;
    }
}

} // namespace

BOOL path_ioctl(void *context, DWORD code, LPVOID in, DWORD inSize, LPVOID, DWORD,
                LPDWORD bytesReturned) {
    if (bytesReturned != nullptr) {
        *bytesReturned = 0;
    }
    const Status status = control(*static_cast<Path *>(context), code, in, inSize);
    if (status != ERR_SUCCESS) {
        SetLastError(status);
        return FALSE;
    }
    return TRUE;
}

} // namespace sim
