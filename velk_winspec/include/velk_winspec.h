// velk_winspec: turns a TRAX device name into the name under which the device is opened on
// the running Windows version. This variant serves Windows NT 4.0 only.
#ifndef VELK_WINSPEC_H
#define VELK_WINSPEC_H

#include <stdint.h>

#include "trax_win32.h"

#ifdef __cplusplus
extern "C" {
#endif

/// Value returned by a successful conversion.
#define WINSPEC_CONV_OK 17

/// Writes "\\.\" followed by the device name into dest and returns WINSPEC_CONV_OK.
/// On any system other than Windows NT 4.0 it shows a message box that says why (unless
/// the version query itself fails), sets the last error to ERROR_BAD_ENVIRONMENT, leaves
/// dest untouched and returns 0. Neither pointer is checked: name must be zero-terminated
/// and dest must hold at least strlen(name) + 5 bytes. Keeps no state; safe to call from
/// several threads at once.
#if defined(_WIN32)
int32_t WINAPI WINSPEC_ConvDevName(const char *name, char *dest);
#else
__attribute__((visibility("default"))) int32_t WINAPI WINSPEC_ConvDevName(const char *name,
                                                                          char *dest);
#endif

#ifdef __cplusplus
}
#endif

#endif
