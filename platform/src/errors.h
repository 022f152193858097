/* Last-error helpers shared by the platform sources. */
#ifndef TRAX_PLATFORM_ERRORS_H
#define TRAX_PLATFORM_ERRORS_H

#include <new>

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

/// Runs a call that creates an object and returns its handle, so that running out of
/// memory fails the call with ERROR_NOT_ENOUGH_MEMORY instead of throwing through the C
/// interface.
template <class Create> HANDLE createGuarded(Create create) noexcept {
    try {
        return create();
    } catch (const std::bad_alloc &) {
        return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    }
}

} // namespace trax::platform

#endif
