// One-way latency of a signal from SetEvent in one process to the callback in another, beside
// the two floors a wake-up between processes cannot beat: a raw AF_UNIX datagram and a
// process-shared futex.
//
// Every mechanism runs as ping-pong, so that signals never queue: the sender stamps the time,
// sends, and waits for the receiver's acknowledgement before the next round. The receiver
// records now minus the stamp (CLOCK_MONOTONIC is system-wide) in shared memory. The blocks
// of the mechanisms take turns, run after run, so that load from other programs touches all
// of them alike; each figure is printed as the median over the runs and its range.
#include <linux/futex.h>
#include <sys/socket.h>
#include <sys/syscall.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <string>

#include "bench_stats.h"
#include "sig_event_name.h"
#include "signal_bench.h"
#include "trax_win32.h"
#include "usr_oss.h"

namespace {

constexpr int kWarmup = 300;
constexpr int kRounds = 4000;
constexpr int kTotal = kWarmup + kRounds;
constexpr int kRuns = 5;
constexpr DWORD kAckTimeoutMs = 1000;
/// The signal codes a receiver installs in the case with many codes (more than one listener
/// thread's 63).
constexpr uint32_t kManyCodes = 64;

/// Memory shared by sender and receiver (mapped before fork).
struct Shared {
    std::atomic<int64_t> sentNs;
    std::atomic<int> received;
    std::atomic<uint32_t> ping;
    std::atomic<uint32_t> pong;
    int64_t latencyNs[kTotal];
};

Shared *g_shared = nullptr;
HANDLE g_ack = nullptr;

/// The figures of one block.
struct Block {
    double p50Us = 0;
    double p99Us = 0;
    int lost = 0;
};

Block Summarise(int lost) {
    std::vector<int64_t> samples(
        g_shared->latencyNs + kWarmup,
        g_shared->latencyNs + std::max(kWarmup, std::min(kTotal, g_shared->received.load())));
    return Block{bench::Percentile(samples, 50) / 1000.0, bench::Percentile(samples, 99) / 1000.0,
                 lost};
}

void Record(int64_t sentNs) {
    const int index = g_shared->received.load();
    if (index < kTotal)
        g_shared->latencyNs[index] = bench::NowNs() - sentNs;
    g_shared->received.store(index + 1);
}

void StartBlock() {
    g_shared->received = 0;
    g_shared->ping = 0;
    g_shared->pong = 0;
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

Block RunRaw() {
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM, 0, pair) != 0)
        return Block{0, 0, kTotal};
    StartBlock();
    const pid_t child = bench::Fork([&] {
        close(pair[0]);
        RawReceiver(pair[1]);
    });
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

// ---- process-shared futex ----

void FutexWait(std::atomic<uint32_t> &word, uint32_t old) {
    while (word.load() == old)
        syscall(SYS_futex, reinterpret_cast<uint32_t *>(&word), FUTEX_WAIT, old, nullptr, nullptr,
                0);
}

void FutexPost(std::atomic<uint32_t> &word, uint32_t value) {
    word.store(value);
    syscall(SYS_futex, reinterpret_cast<uint32_t *>(&word), FUTEX_WAKE, INT_MAX, nullptr, nullptr,
            0);
}

Block RunFutex() {
    StartBlock();
    const pid_t child = bench::Fork([] {
        for (uint32_t i = 0; i < kTotal; ++i) {
            FutexWait(g_shared->ping, i);
            Record(g_shared->sentNs.load());
            FutexPost(g_shared->pong, i + 1);
        }
    });
    for (uint32_t i = 0; i < kTotal; ++i) {
        g_shared->sentNs.store(bench::NowNs());
        FutexPost(g_shared->ping, i + 1);
        FutexWait(g_shared->pong, i);
    }
    waitpid(child, nullptr, 0);
    return Summarise(0);
}

// ---- signals of velk_usr_oss ----

std::string AckName(pid_t sender) {
    return std::to_string(sender) + "BenchSignalAck";
}

void OnSignal(uint32_t) {
    Record(g_shared->sentNs.load());
    SetEvent(g_ack);
}

bool InstallCodes(uint32_t codes) {
    for (uint32_t i = 0; i < codes; ++i) {
        if (UOS_SigInstall(UOS_SIG_MIN + i) != 0)
            return false;
    }
    return true;
}

// Runs in the forked receiver. It opens the acknowledgement event only after the sender
// has created it (go), since the process that creates a named event first is the one its
// wake-ups reach. Then it installs the callback and the codes, reports ready, and ends
// signal handling once every round has arrived (or the sender has gone).
void SignalReceiver(pid_t sender, uint32_t codes, bench::ReadyPipe &go, bench::ReadyPipe &ready) {
    if (!go.Await())
        return;
    g_ack = CreateEventA(nullptr, FALSE, FALSE, AckName(sender).c_str());
    const bool ok = g_ack != nullptr && UOS_SigInit(OnSignal) == 0 && InstallCodes(codes);
    ready.Tell(ok);
    while (ok && g_shared->received.load() < kTotal && getppid() == sender)
        Sleep(10);
    UOS_SigExit();
    CloseHandle(g_ack);
}

// Sends every round, to the codes in turn, and waits for its acknowledgement; returns the
// rounds lost.
int SendSignals(pid_t receiver, uint32_t codes, HANDLE ack) {
    std::vector<HANDLE> events(codes);
    for (uint32_t i = 0; i < codes; ++i) {
        char name[TRAX_SIG_EVENT_NAME_MAX];
        trax_sig_event_name(static_cast<uint32_t>(receiver), UOS_SIG_MIN + i, name);
        events[i] = CreateEventA(nullptr, FALSE, FALSE, name);
    }
    int lost = 0;
    for (int i = 0; i < kTotal; ++i) {
        g_shared->sentNs.store(bench::NowNs());
        if (!SetEvent(events[static_cast<uint32_t>(i) % codes]) ||
            WaitForSingleObject(ack, kAckTimeoutMs) != WAIT_OBJECT_0)
            ++lost;
    }
    for (HANDLE event : events)
        CloseHandle(event);
    return lost;
}

Block RunSignals(uint32_t codes) {
    bench::ReadyPipe go, ready;
    StartBlock();
    const pid_t sender = getpid();
    const pid_t child = bench::Fork([&] { SignalReceiver(sender, codes, go, ready); });
    HANDLE ack = CreateEventA(nullptr, FALSE, FALSE, AckName(sender).c_str());
    go.Tell(ack != nullptr);
    const int lost = ack != nullptr && ready.Await() ? SendSignals(child, codes, ack) : kTotal;
    if (ack != nullptr)
        CloseHandle(ack);
    waitpid(child, nullptr, 0);
    return Summarise(lost);
}

struct Mechanism {
    const char *name;
    Block (*run)();
    std::vector<Block> blocks;
};

void PrintRow(const Mechanism &m) {
    std::vector<double> p50, p99;
    int lost = 0;
    for (const Block &b : m.blocks) {
        p50.push_back(b.p50Us);
        p99.push_back(b.p99Us);
        lost += b.lost;
    }
    std::printf("%-36s", m.name);
    bench::PrintSpread(bench::SpreadOf(p50), 20);
    bench::PrintSpread(bench::SpreadOf(p99), 20);
    std::printf(" %6d\n", lost);
}

double MedianP50(const Mechanism &m) {
    std::vector<double> p50;
    for (const Block &b : m.blocks)
        p50.push_back(b.p50Us);
    return bench::SpreadOf(p50).median;
}

} // namespace

int main() {
    g_shared = bench::MapShared<Shared>();
    // The parent never starts platform threads, so forking it stays safe.
    Mechanism mechanisms[] = {
        {"raw AF_UNIX datagram", RunRaw, {}},
        {"futex wake (process-shared)", RunFutex, {}},
        {"SetEvent -> callback, 1 code", [] { return RunSignals(1); }, {}},
        {"SetEvent -> callback, 64 codes", [] { return RunSignals(kManyCodes); }, {}},
    };
    for (int run = 0; run < kRuns; ++run) {
        for (Mechanism &m : mechanisms)
            m.blocks.push_back(m.run());
    }
    std::printf("cross-process wake-up, one way: %d runs of %d ping-pong rounds per mechanism "
                "(after %d warm-up), blocks interleaved\n",
                kRuns, kRounds, kWarmup);
    std::printf("%-36s %20s %20s %6s\n", "mechanism", "p50 [us] med (range)",
                "p99 [us] med (range)", "lost");
    for (const Mechanism &m : mechanisms)
        PrintRow(m);
    const double raw = MedianP50(mechanisms[0]);
    const double futex = MedianP50(mechanisms[1]);
    for (const Mechanism *m : {&mechanisms[2], &mechanisms[3]}) {
        const double signal = MedianP50(*m);
        std::printf("median p50 of %s: %.2fx futex, %.2fx raw datagram\n", m->name,
                    futex > 0 ? signal / futex : 0.0, raw > 0 ? signal / raw : 0.0);
    }
    munmap(g_shared, sizeof(Shared));
    return 0;
}
