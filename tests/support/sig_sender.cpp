// Sends signals to another process through their named events, as a second process does:
//   trax_sig_sender <pause ms> <pid (hex)> <signal code (hex)>...
// The codes are sent in the order given, with the pause between two of them (0: none).
// Exit status 0 when every event was set.
#include <cstdio>
#include <cstdlib>

#include "send_signal.h"
#include "trax_win32.h"

int main(int argc, char **argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: trax_sig_sender <pause ms> <pid hex> <code hex>...\n");
        return 2;
    }
    const auto pause = static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10));
    const auto pid = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 16));
    for (int i = 3; i < argc; ++i) {
        if (!trax_test::SendSignal(pid, static_cast<uint32_t>(std::strtoul(argv[i], nullptr, 16))))
            return 1;
        if (pause > 0 && i + 1 < argc)
            Sleep(pause);
    }
    return 0;
}
