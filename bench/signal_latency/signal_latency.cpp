// One-way latency of a signal from SetEvent in one process to the callback in another,
// beside the same figure for a raw AF_UNIX datagram between two processes.
//
// Both run as ping-pong, so that signals never queue: the sender stamps the time, sends,
// and waits for the receiver's acknowledgement before the next round. The receiver
// records now minus the stamp (CLOCK_MONOTONIC is system-wide) in shared memory.
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench_stats.h"
#include "sig_event_name.h"
#include "trax_win32.h"
#include "usr_oss.h"

namespace {

constexpr int kWarmup = 500;
constexpr int kRounds = 10000;
constexpr int kTotal = kWarmup + kRounds;
constexpr uint32_t kSignal = UOS_SIG_USR1;
constexpr DWORD kAckTimeoutMs = 1000;

/** Memory shared by sender and receiver (mapped before fork). */
struct Shared {
    std::atomic<int64_t> sentNs;
    std::atomic<int> received;
    int64_t latencyNs[kTotal];
};

Shared *g_shared = nullptr;
HANDLE g_ack = nullptr;

struct Figures {
    double p50Us = 0;
    double p99Us = 0;
    int lost = 0;
};

Figures Summarise(int lost) {
    std::vector<int64_t> samples(g_shared->latencyNs + kWarmup,
                                 g_shared->latencyNs +
                                     std::max(kWarmup, g_shared->received.load()));
    return Figures{bench::Percentile(samples, 50) / 1000.0, bench::Percentile(samples, 99) / 1000.0,
                   lost};
}

void Record(int64_t sentNs) {
    const int index = g_shared->received.load();
    if (index < kTotal)
        g_shared->latencyNs[index] = bench::NowNs() - sentNs;
    g_shared->received.store(index + 1);
}

// ---- raw AF_UNIX datagrams ----

void RawReceiver(int sock) {
    for (int i = 0; i < kTotal; ++i) {
        int64_t sentNs = 0;
        if (recv(sock, &sentNs, sizeof sentNs, 0) != sizeof sentNs)
            break;
        Record(sentNs);
        const char ack = 1;
        send(sock, &ack, 1, 0);
    }
}

Figures RunRaw() {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM, 0, pair) != 0)
        return Figures{0, 0, kTotal};
    g_shared->received = 0;
    const pid_t child = fork();
    if (child == 0) {
        close(pair[0]);
        RawReceiver(pair[1]);
        _exit(0);
    }
    close(pair[1]);
    int lost = 0;
    for (int i = 0; i < kTotal; ++i) {
        const int64_t sentNs = bench::NowNs();
        char ack = 0;
        if (send(pair[0], &sentNs, sizeof sentNs, 0) != sizeof sentNs ||
            recv(pair[0], &ack, 1, 0) != 1)
            ++lost;
    }
    close(pair[0]);
    waitpid(child, nullptr, 0);
    return Summarise(lost);
}

// ---- signals of velk_usr_oss ----

std::string AckName(pid_t sender) {
    return std::to_string(sender) + "BenchSignalAck";
}

void OnSignal(uint32_t) {
    Record(g_shared->sentNs.load());
    SetEvent(g_ack);
}

/* Runs in the forked receiver. It opens the acknowledgement event only after the sender
 * has created it (goFd), since the process that creates a named event first is the one its
 * wake-ups reach. Then it installs the callback, reports ready, and ends signal handling
 * once every round has arrived (or the sender has gone). */
void SignalReceiver(pid_t sender, int goFd, int readyFd) {
    char go = 0;
    if (read(goFd, &go, 1) != 1)
        return;
    g_ack = CreateEventA(nullptr, FALSE, FALSE, AckName(sender).c_str());
    const bool ready =
        g_ack != nullptr && UOS_SigInit(OnSignal) == 0 && UOS_SigInstall(kSignal) == 0;
    const char flag = ready ? 1 : 0;
    if (write(readyFd, &flag, 1) != 1 || !ready)
        return;
    while (g_shared->received.load() < kTotal && getppid() == sender)
        Sleep(10);
    UOS_SigExit();
    CloseHandle(g_ack);
}

/* Sends every round and waits for its acknowledgement; returns the rounds lost. */
int SendSignals(pid_t receiver, HANDLE ack) {
    char name[TRAX_SIG_EVENT_NAME_MAX];
    HANDLE signal = CreateEventA(nullptr, FALSE, FALSE,
                                 TraxSigEventName(static_cast<uint32_t>(receiver), kSignal, name));
    int lost = 0;
    for (int i = 0; i < kTotal; ++i) {
        g_shared->sentNs.store(bench::NowNs());
        SetEvent(signal);
        if (WaitForSingleObject(ack, kAckTimeoutMs) != WAIT_OBJECT_0)
            ++lost;
    }
    CloseHandle(signal);
    return lost;
}

Figures RunSignals() {
    int go[2];
    int ready[2];
    if (pipe(go) != 0 || pipe(ready) != 0)
        return Figures{0, 0, kTotal};
    g_shared->received = 0;
    const pid_t sender = getpid();
    const pid_t child = fork();
    if (child == 0) {
        close(go[1]);
        close(ready[0]);
        SignalReceiver(sender, go[0], ready[1]);
        _exit(0);
    }
    close(go[0]);
    close(ready[1]);
    HANDLE ack = CreateEventA(nullptr, FALSE, FALSE, AckName(sender).c_str());
    char flag = 1;
    const bool receiverReady =
        ack != nullptr && write(go[1], &flag, 1) == 1 && read(ready[0], &flag, 1) == 1 && flag == 1;
    close(go[1]);
    close(ready[0]);
    const int lost = receiverReady ? SendSignals(child, ack) : kTotal;
    if (ack != nullptr)
        CloseHandle(ack);
    waitpid(child, nullptr, 0);
    return Summarise(lost);
}

void PrintRow(const char *what, const Figures &f) {
    printf("%-44s %10.1f %10.1f %8d\n", what, f.p50Us, f.p99Us, f.lost);
}

} // namespace

int main() {
    void *memory =
        mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        perror("mmap");
        return 1;
    }
    g_shared = new (memory) Shared{};
    // The raw figure is taken first, while this process has no platform threads yet.
    const Figures raw = RunRaw();
    const Figures uos = RunSignals();
    printf("cross-process wake-up, one way, %d rounds of ping-pong (after %d warm-up)\n", kRounds,
           kWarmup);
    printf("%-44s %10s %10s %8s\n", "mechanism", "p50 [us]", "p99 [us]", "lost");
    PrintRow("raw AF_UNIX datagram", raw);
    PrintRow("SetEvent -> UOS_SigInit callback", uos);
    printf("ratio signal/raw: p50 %.2f, p99 %.2f\n", raw.p50Us > 0 ? uos.p50Us / raw.p50Us : 0.0,
           raw.p99Us > 0 ? uos.p99Us / raw.p99Us : 0.0);
    munmap(memory, sizeof(Shared));
    return 0;
}
