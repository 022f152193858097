/* Command threads of traxnt and the console token that they pass between them.
 *
 * The token is G_ThrSerSem (count 0 or 1): whoever has taken it owns the console and the
 * shared state. A thread that gets the token sets G_CurrThrP to its own node. */
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "commands.h"
#include "core.h"

namespace {

// Turns at the console follow the order in which threads began to wait for it, so that a
// script of commands runs the same way every time. Each thread is given a ticket when it is
// created and when it hands the console on with ts, always by the thread that holds the
// console at that moment, so the tickets follow the order of the commands. The semaphore
// serves its waiters in arrival order, but a thread may not yet have reached its wait when
// the console is released: a thread woken before its turn pauses briefly, so that the
// thread whose turn it is can queue up, and hands the console on again.
std::atomic<uint64_t> nextTicket{0};
std::atomic<uint64_t> nowServing{0};
std::atomic<uint64_t> ticketOfNode[kMaxThreads];
// How many times a thread woken before its turn hands the console on (one pause of 1 ms
// each) before it takes the console regardless; only a thread that failed to wait at all
// can keep the queue waiting that long.
constexpr int kMaxTurnRetries = 1000;

/** Gives the node the next place in the queue for the console. */
void TakeTicket(const ThreadNode &node) {
    ticketOfNode[node.number - 1] = nextTicket++;
}

/** Waits for the console token; false after printing why it failed. */
bool WaitForConsole() {
    if (WaitForSingleObject(G_ThrSerSem, INFINITE) == WAIT_OBJECT_0)
        return true;
    std::printf(" \a*** WaitForSingleObject() failed (0x%x)\n",
                static_cast<unsigned>(GetLastError()));
    return false;
}

/** Hands the console token on; false after printing why it failed. */
bool ReleaseConsole() {
    if (ReleaseSemaphore(G_ThrSerSem, 1, nullptr))
        return true;
    std::printf(" \a*** ReleaseSemaphore() failed (0x%x)\n", static_cast<unsigned>(GetLastError()));
    return false;
}

/** The calling thread's node. Every thread that waits for the token was created into a
 *  taken node, so a missing node means the table is corrupt; going on would run commands
 *  on another thread's paths, so the program stops. */
ThreadNode &OwnNode() {
    ThreadNode *self = GetCurrThrNode();
    if (self == nullptr) {
        std::fflush(stdout);
        std::abort();
    }
    return *self;
}

/** Waits until the calling thread holds the console in its turn and makes its node the
 *  console owner; false after a failed wait or release. */
bool WaitForTurn() {
    for (int retry = 0;; ++retry) {
        if (!WaitForConsole())
            return false;
        ThreadNode &self = OwnNode();
        const uint64_t ticket = ticketOfNode[self.number - 1];
        if (ticket <= nowServing || retry >= kMaxTurnRetries) {
            if (ticket >= nowServing)
                nowServing = ticket + 1;
            G_CurrThrP = &self;
            return true;
        }
        Sleep(1);
        if (!ReleaseConsole())
            return false;
    }
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
    if (!WaitForTurn())
        return static_cast<DWORD>(-1);
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
    node->hThread = CreateThread(nullptr, 0, CommandThread, nullptr, 0, &node->threadId);
    if (node->hThread == nullptr) {
        std::printf(" \a*** CreateThread() failed (0x%x)\n", static_cast<unsigned>(GetLastError()));
        return -1;
    }
    // The new thread cannot look at its ticket before this thread hands the console on.
    TakeTicket(*node);
    node->inUse = 1;
    ++G_ThrCount;
    std::fputs(" Note: Use -ts to switch to the new created thread.\n", stdout);
    return 0;
}

int32_t SuspendThr() {
    std::fputs("Suspend current thread ...\n", stdout);
    TakeTicket(*G_CurrThrP);
    if (!ReleaseConsole() || !WaitForTurn())
        return -1;
    return 0;
}
