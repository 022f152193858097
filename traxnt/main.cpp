/* traxnt: interactive test and configuration shell for the TRAX device API. */
#include <cstdio>
#include <unistd.h>

#include "commands.h"
#include "core.h"

namespace {

// Output to a pipe or file is fully buffered in large blocks; input.cpp flushes it before
// the program waits for input.
constexpr size_t kOutputBufSize = 64 * 1024;

} // namespace

int main() {
    if (!isatty(STDOUT_FILENO))
        std::setvbuf(stdout, nullptr, _IOFBF, kOutputBufSize);
    PrintBanner();
    G_ThrSerSem = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    if (G_ThrSerSem == nullptr) {
        std::printf(" \a*** CreateSemaphore() failed (0x%x)\n",
                    static_cast<unsigned>(GetLastError()));
        return -1;
    }
    InitShellState();
    CommandHelp();
    CommandLoop();
    if (G_ThrCount > 1) {
        // Created threads still wait for the console inside the platform layer: end the
        // process at once, without closing the token under them or running destructors.
        std::fflush(stdout);
        _exit(0);
    }
    CloseHandle(G_ThrSerSem);
    return 0;
}
