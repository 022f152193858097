// The thread's last error: one value per thread, shared by every library of the process
// because they all link this one shared library.
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

DWORD faultCode(EntryFault fault) {
    return fault == EntryFault::NoMemory ? ERROR_NOT_ENOUGH_MEMORY : ERROR_GEN_FAILURE;
}

HANDLE handleOnFault(EntryFault fault) {
    return failHandle(faultCode(fault));
}

int zeroOnFault(EntryFault fault) {
    lastError = faultCode(fault);
    return 0;
}

LONG codeOnFault(EntryFault fault) {
    return static_cast<LONG>(faultCode(fault));
}

} // namespace trax::platform
