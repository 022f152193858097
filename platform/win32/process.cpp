// Process stamps (id and creation time) and the process-wide extensions that Windows
// itself already provides.
#include "trax_win32.h"

namespace {

ULONGLONG creationTime(HANDLE process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (static_cast<ULONGLONG>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

thread_local BOOL internalHandles = FALSE;

} // namespace

void WINAPI TraxGetProcessStamp(TRAX_PROCESS_STAMP *stamp) {
    if (stamp == nullptr)
        return;
    *stamp = TRAX_PROCESS_STAMP{GetCurrentProcessId(), 0, creationTime(GetCurrentProcess())};
}

// A process runs while it has not ended; an id taken by a newer process has another
// creation time.
BOOL WINAPI TraxIsProcessRunning(const TRAX_PROCESS_STAMP *stamp) {
    if (stamp == nullptr || stamp->processId == 0)
        return FALSE;
    HANDLE process =
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, stamp->processId);
    if (process == nullptr)
        return FALSE;
    const BOOL running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT &&
                         creationTime(process) == stamp->startTime;
    CloseHandle(process);
    return running;
}

// Windows chooses every handle value itself, so the setting only keeps its contract of
// returning the previous one.
BOOL WINAPI TraxSetInternalHandles(BOOL internal) {
    const BOOL previous = internalHandles;
    internalHandles = internal;
    return previous;
}

// Windows closes an ending process's handles and removes a named object with its last
// handle, so there is nothing to take back by hand.
void WINAPI TraxReleaseNamedObjects(void) {}
