/* Command threads of traxnt and the console token that they pass between them.
 *
 * The token is G_ThrSerSem (count 0 or 1): whoever has taken it owns the console and the
 * shared state. A thread that gets the token sets G_CurrThrP to its own node. */
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "core.h"

namespace {

// Threads that will wait for the console at once but have not yet begun to: a thread just
// created, and a thread that has handed the console on with ts. Waiting threads get the
// console in the order they began to wait, so a script of commands runs in a fixed order
// only if every such thread is queued before the next command runs: CreateThr returns,
// and a thread given the console goes on, only when none is left.
std::atomic<int> threadsAboutToWait{0};
// How long to wait for that, in steps of 1 ms, before going on regardless.
constexpr int kQueueWaitSteps = 1000;

void WaitUntilNoThreadIsAboutToWait() {
    for (int step = 0; step < kQueueWaitSteps && threadsAboutToWait.load() > 0; ++step)
        Sleep(step == 0 ? 0 : 1);
}

/** Waits for the console token; false after printing why it failed. */
bool WaitForConsole() {
    if (WaitForSingleObject(G_ThrSerSem, INFINITE) == WAIT_OBJECT_0)
        return true;
    std::printf(" \a*** WaitForSingleObject() failed (0x%x)\n", GetLastError());
    return false;
}

/** Hands the console token on; false after printing why it failed. */
bool ReleaseConsole() {
    if (ReleaseSemaphore(G_ThrSerSem, 1, nullptr))
        return true;
    std::printf(" \a*** ReleaseSemaphore() failed (0x%x)\n", GetLastError());
    return false;
}

/** Makes the calling thread's node the console owner. Every thread that waits for the
 *  token was created into a taken node, so a missing node means the table is corrupt;
 *  going on would run commands on another thread's paths, so the program stops. */
void AdoptConsole() {
    WaitUntilNoThreadIsAboutToWait();
    ThreadNode *self = GetCurrThrNode();
    if (self == nullptr) {
        std::fflush(stdout);
        std::abort();
    }
    G_CurrThrP = self;
}

} // namespace

ThreadNode *GetFreeThrNode() {
    for (ThreadNode &node : G_ThrList)
        if (!node.inUse)
            return &node;
    std::fputs(" \a*** no free node in thread table\n", stdout);
    return nullptr;
}

ThreadNode *GetCurrThrNode() {
    // A node freed by "e" keeps its old thread id, which the system may hand out again:
    // only a taken node can be the caller's.
    const DWORD self = GetCurrentThreadId();
    for (ThreadNode &node : G_ThrList)
        if (node.inUse && node.threadId == self)
            return &node;
    std::fputs(" \a*** node for current thread not found\n", stdout);
    return nullptr;
}

DWORD WINAPI CommandThread(LPVOID /*param*/) {
    --threadsAboutToWait;
    if (!WaitForConsole())
        return static_cast<DWORD>(-1);
    AdoptConsole();
    CommandLoop();
    ThreadNode *self = G_CurrThrP;
    --G_ThrCount;
    self->inUse = 0;
    CloseHandle(self->hThread);
    return ReleaseConsole() ? 0 : static_cast<DWORD>(-1);
}

int32_t CreateThr() {
    std::fputs(" Create new thread ...\n", stdout);
    ThreadNode *node = GetFreeThrNode();
    if (node == nullptr)
        return -1;
    ++threadsAboutToWait;
    node->hThread = CreateThread(nullptr, 0, CommandThread, nullptr, 0, &node->threadId);
    if (node->hThread == nullptr) {
        --threadsAboutToWait;
        std::printf(" \a*** CreateThread() failed (0x%x)\n", GetLastError());
        return -1;
    }
    WaitUntilNoThreadIsAboutToWait();
    node->inUse = 1;
    ++G_ThrCount;
    std::fputs(" Note: Use -ts to switch to the new created thread.\n", stdout);
    return 0;
}

int32_t SuspendThr() {
    std::fputs("Suspend current thread ...\n", stdout);
    ++threadsAboutToWait;
    const bool released = ReleaseConsole();
    --threadsAboutToWait;
    if (!released || !WaitForConsole())
        return -1;
    AdoptConsole();
    return 0;
}
