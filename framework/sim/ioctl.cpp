// I/O control on a path: the device semaphore and a delay carried out by the kernel.
#include <cstring>

#include "sim_delay.h"
#include "sim_path.h"
#include "trax_codes.h"

namespace sim {

namespace {

Status int_argument(LPVOID in, DWORD inSize, int32_t *value) {
    if (in == nullptr || inSize < sizeof(int32_t)) {
        return ERR_MK_ILL_IOCTL;
    }
    std::memcpy(value, in, sizeof *value);
    return ERR_SUCCESS;
}

// ERR_MK_ILL_PATH for a closed path, else what the device's fault rules make of the call.
Injection open_path_injection(Path &path, DWORD code) {
    std::lock_guard lock(path.device->mutex());
    if (path.closed) {
        return {ERR_MK_ILL_PATH, 0};
    }
    return path.device->inject(DeviceCall::Ioctl, static_cast<int32_t>(code));
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
    // The platform's Sleep waits for an absolute deadline on the monotonic clock, so that
    // interruptions and scheduling delays do not add up.
    Sleep(static_cast<DWORD>(ms));
    return ERR_SUCCESS;
}

Status dispatch(Path &path, DWORD code, LPVOID in, DWORD inSize) {
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

Status control(Path &path, DWORD code, LPVOID in, DWORD inSize) {
    const Injection injection = open_path_injection(path, code);
    const Status status = injection.error != 0 ? injection.error : dispatch(path, code, in, inSize);
    delay_ms(injection.delayMs);
    return status;
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
