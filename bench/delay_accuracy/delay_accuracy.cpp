// Accuracy of the delays: UOS_Delay, UOS_MikroDelay and the kernel's delay I/O control on a
// path, as the error of the measured time over the requested one, beside the overshoot of
// the OS's own relative sleep (clock_nanosleep) measured in the same run, with each
// delay's processor time per call. Each delay and its floor run interleaved in blocks,
// repeated; every series has at least 200 samples, and the ratio of the median errors is
// printed as median (min-max) over the runs.
#include <time.h>

#include <cstdio>
#include <functional>

#include "bench_stats.h"
#include "ratio_stats.h"
#include "trax_api.h"
#include "trax_codes.h"
#include "trax_win32.h"
#include "usr_oss.h"

namespace {

using Delay = std::function<void(int64_t)>;

/// Samples of one delay: errors in ns, and the median processor time per call of each
/// block in us.
struct Series {
    std::vector<int64_t> errors;
    std::vector<double> blockMedianErrorUs;
    std::vector<double> blockCpuUs;
};

/// Runs delay(requestedUs) rounds times in a row and adds the block to the series.
void MeasureBlock(int64_t requestedUs, int rounds, const Delay &delay, Series *series) {
    std::vector<int64_t> errors;
    const int64_t cpuStart = bench::ThreadCpuNs();
    for (int i = 0; i < rounds; ++i) {
        const int64_t start = bench::NowNs();
        delay(requestedUs);
        errors.push_back(bench::NowNs() - start - requestedUs * 1000);
    }
    const int64_t cpu = bench::ThreadCpuNs() - cpuStart;
    series->blockCpuUs.push_back(static_cast<double>(cpu) / rounds / 1000.0);
    series->blockMedianErrorUs.push_back(bench::Percentile(errors, 50) / 1000.0);
    series->errors.insert(series->errors.end(), errors.begin(), errors.end());
}

void OsSleep(int64_t us) {
    timespec rest{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &rest, &rest) != 0) {
    }
}

void PrintRow(const char *what, int64_t requestedUs, const Series &s, const Series *floor) {
    std::printf("%-28s %8lld %5zu %10.2f %10.2f  ", what, static_cast<long long>(requestedUs),
                s.errors.size(), bench::Percentile(s.errors, 50) / 1000.0,
                bench::Percentile(s.errors, 99) / 1000.0);
    bench::PrintSpread("%8.2f", s.blockCpuUs);
    if (floor != nullptr) {
        std::printf("   ");
        bench::PrintSpread("%.2f", bench::Ratios(s.blockMedianErrorUs, floor->blockMedianErrorUs));
    }
    std::printf("\n");
}

struct Case {
    int64_t requestedUs;
    int runs;
    int blockRounds;
};

/// Measures each delay beside the OS sleep in interleaved blocks and prints the rows.
void Compare(const Case &c, const std::vector<std::pair<const char *, Delay>> &delays) {
    Series floor;
    std::vector<Series> measured(delays.size());
    for (int r = 0; r < c.runs; ++r) {
        // The floor goes first in even runs and last in odd ones.
        if (r % 2 == 0)
            MeasureBlock(c.requestedUs, c.blockRounds, OsSleep, &floor);
        for (size_t d = 0; d < delays.size(); ++d)
            MeasureBlock(c.requestedUs, c.blockRounds, delays[d].second, &measured[d]);
        if (r % 2 == 1)
            MeasureBlock(c.requestedUs, c.blockRounds, OsSleep, &floor);
    }
    PrintRow("clock_nanosleep (relative)", c.requestedUs, floor, nullptr);
    for (size_t d = 0; d < delays.size(); ++d)
        PrintRow(delays[d].first, c.requestedUs, measured[d], &floor);
}

void CompareMillisecondDelays(HANDLE path) {
    for (const Case c : {Case{1000, 10, 20}, Case{10000, 10, 20}, Case{50000, 10, 20}}) {
        std::vector<std::pair<const char *, Delay>> delays = {
            {"UOS_Delay", [](int64_t us) { UOS_Delay(static_cast<int32_t>(us / 1000)); }}};
        if (path != nullptr) {
            delays.emplace_back("MK_IOCTL_DELAY on sim_dio_1", [path](int64_t us) {
                int32_t ms = static_cast<int32_t>(us / 1000);
                DWORD returned = 0;
                DeviceIoControl(path, MK_IOCTL_DELAY, &ms, sizeof ms, nullptr, 0, &returned,
                                nullptr);
            });
        }
        Compare(c, delays);
    }
}

void CompareMicroDelays() {
    UOS_MikroDelayInit();
    for (const int64_t us : {10LL, 100LL, 1000LL}) {
        Compare(Case{us, 10, 50},
                {{"UOS_MikroDelay", [](int64_t u) { UOS_MikroDelay(static_cast<uint32_t>(u)); }}});
    }
}

} // namespace

int main() {
    const int32_t path = M_open("sim_dio_1");
    if (path < 0)
        printf("M_open(sim_dio_1) failed: %s (the I/O-control rows are left out)\n",
               UOS_ErrString(static_cast<int32_t>(UOS_ErrnoGet())));
    HANDLE handle = path >= 0 ? reinterpret_cast<HANDLE>(static_cast<intptr_t>(path)) : nullptr;
    printf("delay error = measured - requested; cpu = processor time per call, median (min-max) "
           "of the blocks;\nratio = median error over clock_nanosleep's in the same run, median "
           "(min-max) of the runs\n");
    printf("%-28s %8s %5s %10s %10s  %-30s %s\n", "delay", "req [us]", "n", "p50 err", "p99 err",
           "cpu/call [us]", "ratio");
    CompareMillisecondDelays(handle);
    CompareMicroDelays();
    if (path >= 0)
        M_close(path);
    return 0;
}
