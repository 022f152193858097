/* Beep: there is no sound device to drive, so a valid tone returns at once (which never
 * blocks longer than asked); a frequency outside the audible range Windows accepts fails. */
#include "errors.h"

namespace {
constexpr DWORD kLowestFrequency = 37;
constexpr DWORD kHighestFrequency = 32767;
} // namespace

BOOL WINAPI Beep(DWORD frequency, DWORD) {
    if (frequency < kLowestFrequency || frequency > kHighestFrequency)
        return trax::platform::fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}
