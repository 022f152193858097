// Beep: a tone of the given length. There is no sound device to drive, so the bell
// character goes to the controlling terminal if the process has one, and the call then
// takes the tone's duration, as the Windows call does. A frequency outside the audible
// range Windows accepts fails at once.
#include <fcntl.h>
#include <unistd.h>

#include "errors.h"
#include "wait_core.h"

namespace {
constexpr DWORD kLowestFrequency = 37;
constexpr DWORD kHighestFrequency = 32767;

/// Rings the terminal's bell; without a controlling terminal nothing sounds. The terminal
/// is opened without blocking, so a stopped or slow terminal cannot hold the caller.
void ringTerminalBell() {
    const int terminal = open("/dev/tty", O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (terminal < 0)
        return;
    [[maybe_unused]] const ssize_t written = write(terminal, "\a", 1);
    close(terminal);
}
} // namespace

BOOL WINAPI Beep(DWORD frequency, DWORD durationMs) {
    if (frequency < kLowestFrequency || frequency > kHighestFrequency)
        return trax::platform::fail(ERROR_INVALID_PARAMETER);
    if (durationMs == 0)
        return TRUE;
    ringTerminalBell();
    trax::platform::sleepUntil(trax::platform::Deadline::after(durationMs));
    return TRUE;
}
