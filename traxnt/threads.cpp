// Command threads of traxnt and the console token that they pass between them.
//
// Whoever holds the token owns the console and the shared state. Each thread waits for the
// token on a turn semaphore of its own (count 0 or 1), and the holder hands the token on by
// releasing the turn semaphore of the thread that is next in line. The main thread's turn
// is G_ThrSerSem; created threads wait on semaphores of the C++ library, which take no
// handle, so that path numbers stay the same whatever the number of threads. A thread that
// gets the token sets G_CurrThrP to its own node.
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "commands.h"
#include "core.h"

namespace {

// Turns at the console follow the order in which threads began to wait for it, so that a
// script of commands runs the same way every time. A thread joins the queue when it is
// created and when it hands the console on with ts, always by the hand of the thread that
// holds the console at that moment, so the queue follows the order of the commands. The
// holder wakes exactly the thread at the head of the queue; if that thread has not reached
// its wait yet, its turn semaphore keeps the turn for it, so nobody polls.
uint64_t nextTicket = 1;
uint64_t ticketOfNode[kMaxThreads]; // 0: not waiting for the console
/// A created thread's turn at the console: given by the holder, taken by the thread. It
/// keeps a turn given before its thread waits.
class Turn {
  public:
    void give() {
        {
            std::lock_guard lock(mutex_);
            given_ = true;
        }
        ready_.notify_one();
    }
    void take() {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [this] { return given_; });
        given_ = false;
    }

  private:
    std::mutex mutex_;
    std::condition_variable ready_;
    bool given_ = false;
};
// Turns of the created threads' nodes (index 0, the main thread's node, is not used).
Turn turnOfNode[kMaxThreads];

size_t IndexOf(const ThreadNode &node) {
    return static_cast<size_t>(node.number - 1);
}

bool IsMain(const ThreadNode &node) {
    return node.number == 1;
}

/// Puts the node at the end of the queue for the console.
void Enqueue(const ThreadNode &node) {
    ticketOfNode[IndexOf(node)] = nextTicket++;
}

/// The node that has waited longest for the console, or null when none waits.
ThreadNode *NextInLine() {
    ThreadNode *next = nullptr;
    for (ThreadNode &node : G_ThrList) {
        const uint64_t ticket = ticketOfNode[IndexOf(node)];
        if (ticket != 0 && (next == nullptr || ticket < ticketOfNode[IndexOf(*next)]))
            next = &node;
    }
    return next;
}

/// Waits for the console token on the node's turn semaphore and makes the calling thread's
/// node the console owner; false after printing why the wait failed. Every thread that
/// waits was created into a taken node, so a missing node means the table is corrupt;
/// going on would run commands on another thread's paths, so the program stops.
bool WaitForTurn(const ThreadNode &self) {
    if (!IsMain(self))
        turnOfNode[IndexOf(self)].take();
    else if (WaitForSingleObject(G_ThrSerSem, INFINITE) != WAIT_OBJECT_0) {
        std::printf(" \a*** WaitForSingleObject() failed (0x%x)\n",
                    static_cast<unsigned>(GetLastError()));
        return false;
    }
    G_CurrThrP = GetCurrThrNode();
    if (G_CurrThrP == nullptr) {
        std::fflush(stdout);
        std::abort();
    }
    return true;
}

/// Hands the console token to the thread next in line; false after printing why it
/// failed. Some thread always waits: the main thread holds the console or is queued.
bool ReleaseConsole() {
    ThreadNode *next = NextInLine();
    if (next == nullptr)
        return true;
    ticketOfNode[IndexOf(*next)] = 0;
    if (!IsMain(*next)) {
        turnOfNode[IndexOf(*next)].give();
        return true;
    }
    if (ReleaseSemaphore(G_ThrSerSem, 1, nullptr))
        return true;
    std::printf(" \a*** ReleaseSemaphore() failed (0x%x)\n", static_cast<unsigned>(GetLastError()));
    return false;
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

DWORD WINAPI CommandThread(LPVOID param) {
    if (!WaitForTurn(*static_cast<ThreadNode *>(param)))
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
    node->hThread = CreateThread(nullptr, 0, CommandThread, node, 0, &node->threadId);
    if (node->hThread == nullptr) {
        std::printf(" \a*** CreateThread() failed (0x%x)\n", static_cast<unsigned>(GetLastError()));
        return -1;
    }
    Enqueue(*node);
    node->inUse = 1;
    ++G_ThrCount;
    std::fputs(" Note: Use -ts to switch to the new created thread.\n", stdout);
    return 0;
}

int32_t SuspendThr() {
    std::fputs("Suspend current thread ...\n", stdout);
    ThreadNode &self = *G_CurrThrP;
    Enqueue(self);
    if (!ReleaseConsole() || !WaitForTurn(self))
        return -1;
    return 0;
}
