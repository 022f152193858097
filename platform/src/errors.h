// Last-error helpers shared by the platform sources.
#ifndef TRAX_PLATFORM_ERRORS_H
#define TRAX_PLATFORM_ERRORS_H

#include "trax_entry_guard.h"
#include "trax_win32.h"

namespace trax::platform {

/// Returns the Windows error code that corresponds to a POSIX errno value.
DWORD translateErrno(int error);

/// Sets the thread's last error and returns FALSE, so a failing call ends in one line.
BOOL fail(DWORD code);
/// Sets the last error from a POSIX errno value and returns FALSE.
BOOL failErrno(int error);
/// Sets the thread's last error and returns a null handle.
HANDLE failHandle(DWORD code);
/// Sets the thread's last error and returns WAIT_FAILED.
DWORD failWait(DWORD code);

/// The Windows code of a guarded entry whose body threw: ERROR_NOT_ENOUGH_MEMORY when
/// memory ran out, ERROR_GEN_FAILURE otherwise.
DWORD faultCode(EntryFault fault);

/// Fault handlers for trax::guardEntry, one per kind of result. A handle or a message box
/// result fails with the last error set; a registry call returns the code itself.
HANDLE handleOnFault(EntryFault fault);
int zeroOnFault(EntryFault fault);
LONG codeOnFault(EntryFault fault);

} // namespace trax::platform

#endif
