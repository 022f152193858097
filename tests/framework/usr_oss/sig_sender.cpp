// Sets the signal event of another process by name, as a separate process would:
//   uos_sig_sender <pid (hex)> <signal code (hex)>...
// Each code is sent once, in the order given, with a short pause between two codes so that
// the receiver sees them as separate arrivals. Exit status 0 when every event was set.
#include <stdio.h>
#include <stdlib.h>

#include "sig_event_name.h"
#include "trax_win32.h"

namespace {

bool SendSignal(uint32_t pid, uint32_t code) {
    char name[TRAX_SIG_EVENT_NAME_MAX];
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, TraxSigEventName(pid, code, name));
    if (event == nullptr) {
        fprintf(stderr, "CreateEventA(%s) failed (0x%x)\n", name, (unsigned)GetLastError());
        return false;
    }
    const bool sent = SetEvent(event) != FALSE;
    if (!sent)
        fprintf(stderr, "SetEvent(%s) failed (0x%x)\n", name, (unsigned)GetLastError());
    CloseHandle(event);
    return sent;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: uos_sig_sender <pid hex> <code hex>...\n");
        return 2;
    }
    const auto pid = static_cast<uint32_t>(strtoul(argv[1], nullptr, 16));
    for (int i = 2; i < argc; ++i) {
        if (!SendSignal(pid, static_cast<uint32_t>(strtoul(argv[i], nullptr, 16))))
            return 1;
        Sleep(5);
    }
    return 0;
}
