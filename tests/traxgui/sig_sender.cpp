// Sends signals to another process through their named events, as a second process does:
//   traxgui_sig_sender <pause ms> <pid (hex)> <signal code (hex)>...
// The codes are sent in the order given, with the pause between two of them (0: none).
// Exit status 0 when every event was set.
#include "sig_event_name.h"
#include "trax_win32.h"

#include <cstdio>
#include <cstdlib>

namespace {

bool sendSignal(uint32_t pid, uint32_t code) {
    char name[TRAX_SIG_EVENT_NAME_MAX];
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, TraxSigEventName(pid, code, name));
    if (event == nullptr) {
        std::fprintf(stderr, "CreateEventA(%s) failed (0x%x)\n", name, unsigned(GetLastError()));
        return false;
    }
    const bool sent = SetEvent(event) != FALSE;
    CloseHandle(event);
    return sent;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: traxgui_sig_sender <pause ms> <pid hex> <code hex>...\n");
        return 2;
    }
    const auto pause = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    const auto pid = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 16));
    for (int i = 3; i < argc; ++i) {
        if (!sendSignal(pid, static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 16))))
            return 1;
        if (pause > 0)
            Sleep(pause);
    }
    return 0;
}
