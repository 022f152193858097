/* The thread's last error: one value per thread, shared by every library of the process
 * because they all link this one shared library. */
#include "errors.h"

namespace {
thread_local DWORD lastError = ERROR_SUCCESS;
}

DWORD WINAPI GetLastError(void) {
    return lastError;
}

void WINAPI SetLastError(DWORD error) {
    lastError = error;
}

namespace trax::platform {

BOOL fail(DWORD code) {
    lastError = code;
    return FALSE;
}

BOOL failErrno(int error) {
    return fail(translateErrno(error));
}

HANDLE failHandle(DWORD code) {
    lastError = code;
    return nullptr;
}

DWORD failWait(DWORD code) {
    lastError = code;
    return WAIT_FAILED;
}

} // namespace trax::platform
