// Waiting on a word of shared memory across processes: a futex without the private flag,
// so the kernel matches waiters by the page, whichever process mapped it where.
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "errors.h"
#include "wait_core.h"

using namespace trax::platform;

BOOL WINAPI TraxWaitOnSharedAddress(volatile LONG *address, LONG unchanged, DWORD ms) {
    if (address == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    const Deadline deadline = Deadline::after(ms);
    for (;;) {
        timespec left{};
        if (!deadline.isInfinite())
            left = deadline.remaining();
        const long rc = syscall(SYS_futex, address, FUTEX_WAIT, unchanged,
                                deadline.isInfinite() ? nullptr : &left, nullptr, 0);
        if (rc == 0 || errno == EAGAIN)
            return TRUE;
        if (errno == ETIMEDOUT)
            return fail(ERROR_TIMEOUT);
        if (errno != EINTR)
            return failErrno(errno);
    }
}

void WINAPI TraxWakeSharedAddress(volatile LONG *address) {
    if (address != nullptr)
        syscall(SYS_futex, address, FUTEX_WAKE, INT_MAX, nullptr, nullptr, 0);
}
