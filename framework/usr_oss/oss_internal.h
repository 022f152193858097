// What the sources of velk_usr_oss share with one another; not part of the interface.
#ifndef USR_OSS_INTERNAL_H
#define USR_OSS_INTERNAL_H

#include <stdint.h>

#include "trax_win32.h"

namespace trax::oss {

/// Leaves err as the calling thread's last error and returns it as a signed status, the
/// way every failing call of the library reports.
int32_t fail(uint32_t err);

/// The system calls that can fail in ways a test cannot provoke from outside. Production
/// code calls them through this table; tests may replace entries (and must restore them).
struct SysCalls {
    HANDLE(WINAPI *createEvent)(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR);
    HANDLE(WINAPI *createThread)
    (LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD, LPDWORD);
};

/// The table in use; initially the platform's own functions.
SysCalls &sys();

/// Restores the platform's own functions in the table.
void reset_sys();

/// Capacity of the queue of received signals that wait for delivery.
constexpr uint32_t kSignalQueueCapacity = 1024;

/// Number of received signals waiting in the queue of the current session.
uint32_t signals_queued();

/// Number of signals dropped because the queue was full, since the last UOS_SigInit.
uint32_t signals_dropped();

} // namespace trax::oss

#endif
