// traxnt: interactive test and configuration shell for the TRAX device API.
#include <cstdio>
#include <unistd.h>

#include "commands.h"
#include "core.h"
#include "input.h"

namespace {

// Output to a pipe or file is fully buffered in large blocks; input.cpp flushes it before
// the program waits for input. The buffer is our own: given none, glibc takes the size only
// as a hint and allocates a buffer of the file's block size (4 KiB for a pipe).
constexpr size_t kOutputBufSize = 64 * 1024;
char outputBuf[kOutputBufSize];

} // namespace

int main() {
    if (!isatty(STDOUT_FILENO))
        std::setvbuf(stdout, outputBuf, _IOFBF, sizeof outputBuf);
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
        EndProcessNow();
    }
    CloseHandle(G_ThrSerSem);
    return 0;
}
