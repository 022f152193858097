// Throughput of signals between two processes: one process sets events as fast as it can
// (flood) or at a fixed rate (paced), another takes them. Three mechanisms side by side:
// a raw blocking AF_UNIX datagram to a socket file (its queue holds what the system allows,
// net.unix.max_dgram_qlen, 10 by default; an event holds 64 wake-ups), SetEvent ->
// WaitForSingleObject, and SetEvent -> the UOS_SigInit callback.
//
// For each it prints sent/s (the sender's rate), delivered/s (arrivals until the last one),
// lost (sends that failed or never arrived), and the p99 delay from send to arrival. The
// blocks of the mechanisms take turns, run after run; each figure is the median over the
// runs with its range.
#include <sys/socket.h>
#include <sys/un.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "bench_stats.h"
#include "sig_event_name.h"
#include "signal_bench.h"
#include "trax_win32.h"
#include "usr_oss.h"

namespace {

constexpr int kRuns = 5;
constexpr int kFloodCount = 100000;
constexpr double kPacedSeconds = 0.3;
constexpr int kRates[] = {1000, 10000, 50000};
constexpr int kMaxCount = 100000;
/// A receiver gives up once nothing has arrived for this long.
constexpr int kQuietMs = 1500;
constexpr uint32_t kSignal = UOS_SIG_USR1;

/// Memory shared by sender and receiver (mapped before fork).
struct Shared {
    std::atomic<int> delivered;
    std::atomic<int64_t> lastArrivalNs;
    int64_t sentNs[kMaxCount];
    int64_t delayNs[kMaxCount];
};

Shared *g_shared = nullptr;

/// The figures of one block.
struct Block {
    double sentPerS = 0;
    double deliveredPerS = 0;
    int lost = 0;
    double p99Us = 0;
};

// Called by every receiver for each arrival, in arrival order.
void Arrived() {
    const int index = g_shared->delivered.load();
    const int64_t now = bench::NowNs();
    if (index < kMaxCount)
        g_shared->delayNs[index] = now - g_shared->sentNs[index];
    g_shared->lastArrivalNs.store(now);
    g_shared->delivered.store(index + 1);
}

// Waits until count have arrived or arrivals stop.
void AwaitArrivals(int count) {
    int seen = -1;
    for (int quiet = 0; quiet < kQuietMs; ++quiet) {
        const int now = g_shared->delivered.load();
        if (now >= count)
            return;
        if (now != seen)
            quiet = 0;
        seen = now;
        Sleep(1);
    }
}

// Sends count wake-ups through send(i) (false when refused), at `rate` per second or, with
// rate 0, as fast as possible; returns the number refused. Paced sends go in slices of 1 ms.
template <class Send>
int SendAll(int count, int rate, Send send, int64_t &startNs, int64_t &endNs) {
    int refused = 0;
    startNs = bench::NowNs();
    for (int i = 0; i < count; ++i) {
        if (rate > 0) {
            const int64_t due = startNs + static_cast<int64_t>(i) * 1000000000 / rate;
            if (bench::NowNs() < due - 1000000) {
                timespec until{static_cast<time_t>(due / 1000000000),
                               static_cast<long>(due % 1000000000)};
                clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr);
            }
        }
        g_shared->sentNs[i] = bench::NowNs();
        refused += send(i) ? 0 : 1;
    }
    endNs = bench::NowNs();
    return refused;
}

Block Summarise(int count, int64_t startNs, int64_t endNs) {
    const int delivered = std::min(g_shared->delivered.load(), count);
    std::vector<int64_t> delays(g_shared->delayNs, g_shared->delayNs + delivered);
    const double sendSeconds = static_cast<double>(endNs - startNs) / 1e9;
    const double arrivalSeconds =
        static_cast<double>(g_shared->lastArrivalNs.load() - startNs) / 1e9;
    return Block{sendSeconds > 0 ? count / sendSeconds : 0,
                 arrivalSeconds > 0 ? delivered / arrivalSeconds : 0, count - delivered,
                 bench::Percentile(delays, 99) / 1000.0};
}

void StartBlock() {
    g_shared->delivered = 0;
    g_shared->lastArrivalNs = 0;
}

// ---- raw datagrams to a socket file ----

sockaddr_un RawAddress(pid_t parent) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/trax-rawbench-%d",
                  static_cast<int>(parent));
    return address;
}

void RawReceiver(int count, bench::ReadyPipe &ready) {
    const sockaddr_un address = RawAddress(getppid());
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    unlink(address.sun_path);
    const timeval quiet{kQuietMs / 1000, (kQuietMs % 1000) * 1000};
    const bool ok = bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
                    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &quiet, sizeof quiet) == 0;
    ready.Tell(ok);
    for (int i = 0; ok && i < count; ++i) {
        int payload = 0;
        if (recv(fd, &payload, sizeof payload, 0) != sizeof payload)
            break;
        Arrived();
    }
    unlink(address.sun_path);
    close(fd);
}

Block RunRaw(int count, int rate) {
    bench::ReadyPipe ready;
    StartBlock();
    const pid_t child = bench::Fork([&] { RawReceiver(count, ready); });
    int64_t start = 0, end = 0;
    int refused = count;
    if (ready.Await()) {
        const sockaddr_un address = RawAddress(getpid());
        const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
        if (connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            refused = SendAll(
                count, rate, [&](int i) { return send(fd, &i, sizeof i, 0) == sizeof i; }, start,
                end);
        close(fd);
    }
    waitpid(child, nullptr, 0);
    (void)refused;
    return Summarise(count, start, end);
}

// ---- named events: SetEvent -> WaitForSingleObject ----

std::string EventName(pid_t receiver) {
    return std::to_string(receiver) + "BenchThroughput";
}

void EventReceiver(int count, bench::ReadyPipe &ready) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, EventName(getpid()).c_str());
    ready.Tell(event != nullptr);
    for (int i = 0; event != nullptr && i < count; ++i) {
        if (WaitForSingleObject(event, kQuietMs) != WAIT_OBJECT_0)
            break;
        Arrived();
    }
    CloseHandle(event);
}

// Sets the event count times from this process; the receiver owns it.
Block SendEvents(const std::string &name, int count, int rate, pid_t child) {
    int64_t start = 0, end = 0;
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    if (event != nullptr)
        SendAll(
            count, rate, [&](int) { return SetEvent(event) != FALSE; }, start, end);
    AwaitArrivals(count);
    CloseHandle(event);
    waitpid(child, nullptr, 0);
    return Summarise(count, start, end);
}

// Starts the receiver in a child, then sets the named event nameOf(child) from here.
template <class Receiver, class NameOf>
Block RunWithReceiver(int count, int rate, Receiver receiver, NameOf nameOf) {
    bench::ReadyPipe ready;
    StartBlock();
    const pid_t child = bench::Fork([&] { receiver(count, ready); });
    if (!ready.Await()) {
        waitpid(child, nullptr, 0);
        return Block{0, 0, count, 0};
    }
    return SendEvents(nameOf(child), count, rate, child);
}

Block RunEvents(int count, int rate) {
    return RunWithReceiver(count, rate, EventReceiver, EventName);
}

// ---- signals of velk_usr_oss: SetEvent -> callback ----

std::string SignalEventName(pid_t receiver) {
    char name[TRAX_SIG_EVENT_NAME_MAX];
    return trax_sig_event_name(static_cast<uint32_t>(receiver), kSignal, name);
}

void OnSignal(uint32_t) {
    Arrived();
}

// Sends itself one signal and waits for it, so that the library thread is known to be
// waiting before the measurement starts.
bool WarmUp() {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, SignalEventName(getpid()).c_str());
    const bool sent = event != nullptr && SetEvent(event);
    CloseHandle(event);
    AwaitArrivals(1);
    const bool arrived = g_shared->delivered.exchange(0) == 1;
    return sent && arrived;
}

void SignalReceiver(int count, bench::ReadyPipe &ready) {
    const bool ok = UOS_SigInit(OnSignal) == 0 && UOS_SigInstall(kSignal) == 0 && WarmUp();
    ready.Tell(ok);
    if (ok)
        AwaitArrivals(count);
    UOS_SigExit();
}

Block RunSignals(int count, int rate) {
    return RunWithReceiver(count, rate, SignalReceiver, SignalEventName);
}

struct Mechanism {
    const char *name;
    Block (*run)(int count, int rate);
};

constexpr Mechanism kMechanisms[] = {
    {"raw datagram to a socket file", RunRaw},
    {"SetEvent -> WaitForSingleObject", RunEvents},
    {"SetEvent -> UOS callback", RunSignals},
};
constexpr size_t kMechanismCount = sizeof kMechanisms / sizeof kMechanisms[0];

// One load: flood (rate 0) or a paced rate.
struct Load {
    int rate;
    int count() const { return rate == 0 ? kFloodCount : static_cast<int>(rate * kPacedSeconds); }
};

void PrintRow(const char *load, const char *mechanism, const std::vector<Block> &blocks) {
    std::vector<double> sent, delivered, p99;
    int lost = 0;
    for (const Block &b : blocks) {
        sent.push_back(b.sentPerS / 1000);
        delivered.push_back(b.deliveredPerS / 1000);
        p99.push_back(b.p99Us);
        lost += b.lost;
    }
    std::printf("%-10s %-32s", load, mechanism);
    bench::PrintSpread(bench::SpreadOf(sent), 20);
    bench::PrintSpread(bench::SpreadOf(delivered), 20);
    std::printf(" %6d", lost);
    bench::PrintSpread(bench::SpreadOf(p99), 24, "%.0f");
    std::printf("\n");
}

} // namespace

int main() {
    g_shared = bench::MapShared<Shared>();
    std::vector<Load> loads{{0}};
    for (int rate : kRates)
        loads.push_back({rate});
    // results[load][mechanism] holds one block per run.
    std::vector<std::vector<std::vector<Block>>> results(
        loads.size(), std::vector<std::vector<Block>>(kMechanismCount));
    // The parent never starts platform threads, so forking it stays safe.
    for (int run = 0; run < kRuns; ++run) {
        for (size_t l = 0; l < loads.size(); ++l) {
            for (size_t m = 0; m < kMechanismCount; ++m)
                results[l][m].push_back(kMechanisms[m].run(loads[l].count(), loads[l].rate));
        }
    }
    std::printf("signals between two processes: %d runs, blocks interleaved; flood = %d sets as "
                "fast as possible, paced = %.1f s at the rate\n",
                kRuns, kFloodCount, kPacedSeconds);
    std::printf("%-10s %-32s %20s %20s %6s %24s\n", "load", "mechanism", "sent [k/s]",
                "delivered [k/s]", "lost", "p99 delay [us]");
    for (size_t l = 0; l < loads.size(); ++l) {
        char load[24];
        if (loads[l].rate == 0)
            std::snprintf(load, sizeof load, "flood");
        else
            std::snprintf(load, sizeof load, "%d/s", loads[l].rate);
        for (size_t m = 0; m < kMechanismCount; ++m)
            PrintRow(load, kMechanisms[m].name, results[l][m]);
    }
    std::vector<double> raw, events, signals;
    for (int run = 0; run < kRuns; ++run) {
        raw.push_back(results[0][0][run].deliveredPerS);
        events.push_back(results[0][1][run].deliveredPerS);
        signals.push_back(results[0][2][run].deliveredPerS);
    }
    const double rawMedian = bench::SpreadOf(raw).median;
    if (rawMedian > 0)
        std::printf("flood, median delivered/s beside the raw datagram: SetEvent -> wait %.2fx, "
                    "SetEvent -> UOS callback %.2fx\n",
                    bench::SpreadOf(events).median / rawMedian,
                    bench::SpreadOf(signals).median / rawMedian);
    munmap(g_shared, sizeof(Shared));
    return 0;
}
