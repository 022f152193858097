// Cost of a device call: M_read and M_write on sim_dio_1 beside a plain shared-library call
// doing the same work (floor.cpp), first in one thread, then in 2 and 4 threads working on
// one device or spread over two (sim_dio_1 and sim_mt_1). Each figure is processor time
// per call, so that waiting for a processor on the shared machine does not count. The
// measured side and its floor run interleaved in blocks; each run gives one ratio, and the
// runs are summed up as median (min-max). Nothing is asserted. The devices are shared by
// the user's processes unless TRAX_SIM_SHARING=process makes them private.
//
// Usage: bench_device_calls [runs]   (default 15)
#include <barrier>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "ratio_stats.h"
#include "trax_api.h"

extern "C" int32_t floor_read(int32_t path, int32_t *value);
extern "C" int32_t floor_write(int32_t path, int32_t value);

namespace {

constexpr long kCallsPerBlock = 400000;
constexpr int kMaxThreads = 4;

/// The calls of one side: the device API or its floor.
struct Side {
    int32_t (*read)(int32_t, int32_t *);
    int32_t (*write)(int32_t, int32_t);
    int32_t paths[2][kMaxThreads]; // [devices - 1][thread]: each thread's own path
};

enum class Call { read, write, both };

/// Processor time per call of one thread making calls on path.
double BlockNs(const Side &side, int32_t path, Call call, long calls) {
    int32_t value = 0;
    const int64_t start = bench::ThreadCpuNs();
    for (long i = 0; i < calls; ++i) {
        if (call != Call::read)
            side.write(path, static_cast<int32_t>(i));
        if (call != Call::write)
            side.read(path, &value);
    }
    const int64_t spent = bench::ThreadCpuNs() - start;
    return static_cast<double>(spent) / static_cast<double>(call == Call::both ? 2 * calls : calls);
}

/// Mean processor time per call of threads threads making write+read pairs at once, each
/// on its own path to one of devices devices.
double ThreadsBlockNs(const Side &side, int threads, int devices) {
    std::vector<double> perThread(static_cast<size_t>(threads));
    std::barrier start(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            start.arrive_and_wait();
            perThread[static_cast<size_t>(t)] =
                BlockNs(side, side.paths[devices - 1][t], Call::both, kCallsPerBlock / 2);
        });
    }
    double sum = 0;
    for (int t = 0; t < threads; ++t) {
        workers[static_cast<size_t>(t)].join();
        sum += perThread[static_cast<size_t>(t)];
    }
    return sum / threads;
}

int32_t OpenOrExit(const char *device) {
    const int32_t path = M_open(device);
    if (path < 0) {
        std::printf("M_open(%s) failed: %s\n", device, M_errstring(-1));
        std::exit(1);
    }
    return path;
}

/// Thread t works on the first device, or with two devices on the first or the second in
/// turn; each thread has its own path.
void OpenPaths(Side *trax, Side *plain) {
    for (int t = 0; t < kMaxThreads; ++t) {
        trax->paths[0][t] = OpenOrExit("sim_dio_1");
        trax->paths[1][t] = OpenOrExit(t % 2 == 0 ? "sim_dio_1" : "sim_mt_1");
        plain->paths[0][t] = 1;
        plain->paths[1][t] = 1 + t % 2;
    }
}

void SingleThread(const Side &trax, const Side &plain, int runs) {
    std::printf("one thread: processor time per call [ns], %ld calls a block, %d runs\n",
                kCallsPerBlock, runs);
    std::printf("  %-8s %-26s %-26s %s\n", "call", "M_read/M_write", "plain call", "ratio");
    for (const Call call : {Call::read, Call::write}) {
        std::vector<double> measured;
        std::vector<double> floor;
        for (int r = 0; r < runs; ++r) {
            // The order within a run alternates, so that neither side always goes first.
            if (r % 2 == 0)
                measured.push_back(BlockNs(trax, trax.paths[0][0], call, kCallsPerBlock));
            floor.push_back(BlockNs(plain, plain.paths[0][0], call, kCallsPerBlock));
            if (r % 2 == 1)
                measured.push_back(BlockNs(trax, trax.paths[0][0], call, kCallsPerBlock));
        }
        std::printf("  %-8s ", call == Call::read ? "M_read" : "M_write");
        bench::PrintSpread("%6.1f", measured);
        std::printf("   ");
        bench::PrintSpread("%5.1f", floor);
        std::printf("    ");
        bench::PrintSpread("%5.2f", bench::Ratios(measured, floor));
        std::printf("  (goal <= 3)\n");
    }
}

struct Layout {
    int threads;
    int devices;
};

void ManyThreads(const Side &trax, const Side &plain, int runs) {
    const Layout layouts[] = {{1, 1}, {2, 1}, {4, 1}, {2, 2}, {4, 2}};
    constexpr size_t kLayouts = sizeof layouts / sizeof layouts[0];
    std::vector<double> measured[kLayouts];
    std::vector<double> floor[kLayouts];
    for (int r = 0; r < runs; ++r) {
        for (size_t l = 0; l < kLayouts; ++l) {
            measured[l].push_back(ThreadsBlockNs(trax, layouts[l].threads, layouts[l].devices));
            floor[l].push_back(ThreadsBlockNs(plain, layouts[l].threads, layouts[l].devices));
        }
    }
    std::printf("threads: processor time per call [ns] (M_write+M_read pairs), and its ratio "
                "to one thread in the same run, %d runs\n",
                runs);
    std::printf("  %-16s %-24s %-22s %-24s %s\n", "threads/devices", "M_* per call", "vs 1 thread",
                "plain per call", "vs 1 thread");
    for (size_t l = 0; l < kLayouts; ++l) {
        std::printf("  %d thread(s), %d dev ", layouts[l].threads, layouts[l].devices);
        bench::PrintSpread("%6.1f", measured[l]);
        std::printf("   ");
        bench::PrintSpread("%5.2f", bench::Ratios(measured[l], measured[0]));
        std::printf("   ");
        bench::PrintSpread("%5.1f", floor[l]);
        std::printf("   ");
        bench::PrintSpread("%5.2f", bench::Ratios(floor[l], floor[0]));
        std::printf(layouts[l].devices == 2 && layouts[l].threads == 2 ? "  (goal <= 1.2)\n"
                                                                       : "\n");
    }
}

} // namespace

int main(int argc, char **argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    // Every tool runs library threads (signals, timers); once a process has had a second
    // thread, the C++ library makes its reference counts atomic, so the figures are taken
    // in that state from the start.
    std::thread([] {}).join();
    Side trax{M_read, M_write, {}};
    Side plain{floor_read, floor_write, {}};
    OpenPaths(&trax, &plain);
    SingleThread(trax, plain, runs);
    ManyThreads(trax, plain, runs);
    for (const auto &byDevices : trax.paths)
        for (const int32_t path : byDevices)
            M_close(path);
    return 0;
}
