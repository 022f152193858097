// Accuracy of the delays: UOS_Delay, UOS_MikroDelay and the kernel's delay I/O control on a
// path, as the error of the measured time over the requested one, beside the overshoot of
// the OS's own relative sleep (clock_nanosleep) measured in the same run.
#include <time.h>

#include <cstdio>
#include <functional>

#include "bench_stats.h"
#include "trax_api.h"
#include "trax_codes.h"
#include "trax_win32.h"
#include "usr_oss.h"

namespace {

struct Figures {
    double p50Us;
    double p99Us;
};

/** Runs delay(requestedUs) rounds times; returns the percentiles of the error in us. */
Figures Measure(int64_t requestedUs, int rounds, const std::function<void(int64_t)> &delay) {
    std::vector<int64_t> errors;
    errors.reserve(static_cast<size_t>(rounds));
    for (int i = 0; i < rounds; ++i) {
        const int64_t start = bench::NowNs();
        delay(requestedUs);
        errors.push_back(bench::NowNs() - start - requestedUs * 1000);
    }
    return Figures{bench::Percentile(errors, 50) / 1000.0, bench::Percentile(errors, 99) / 1000.0};
}

void OsSleep(int64_t us) {
    timespec rest{static_cast<time_t>(us / 1000000), static_cast<long>(us % 1000000) * 1000};
    while (clock_nanosleep(CLOCK_MONOTONIC, 0, &rest, &rest) != 0) {
    }
}

void PrintRow(const char *what, int64_t requestedUs, int rounds, const Figures &f) {
    printf("%-34s %9lld %6d %12.2f %12.2f\n", what, static_cast<long long>(requestedUs), rounds,
           f.p50Us, f.p99Us);
}

struct MsCase {
    int ms;
    int rounds;
};

/* Returns the worst ratio of UOS_Delay's median error over the OS sleep's. */
double CompareMillisecondDelays(HANDLE path) {
    double worstRatio = 0;
    for (const MsCase c : {MsCase{1, 300}, MsCase{10, 100}, MsCase{100, 20}}) {
        const int64_t us = c.ms * 1000LL;
        const Figures os = Measure(us, c.rounds, OsSleep);
        const Figures uos =
            Measure(us, c.rounds, [](int64_t u) { UOS_Delay(static_cast<int32_t>(u / 1000)); });
        PrintRow("clock_nanosleep (relative)", us, c.rounds, os);
        PrintRow("UOS_Delay", us, c.rounds, uos);
        if (path != nullptr) {
            const Figures ioctl = Measure(us, c.rounds, [path](int64_t u) {
                int32_t ms = static_cast<int32_t>(u / 1000);
                DWORD returned = 0;
                DeviceIoControl(path, MK_IOCTL_DELAY, &ms, sizeof ms, nullptr, 0, &returned,
                                nullptr);
            });
            PrintRow("MK_IOCTL_DELAY on sim_dio_1", us, c.rounds, ioctl);
        }
        if (os.p50Us > 0)
            worstRatio = std::max(worstRatio, uos.p50Us / os.p50Us);
    }
    return worstRatio;
}

void CompareMicroDelays() {
    UOS_MikroDelayInit();
    for (const int64_t us : {10LL, 100LL, 1000LL}) {
        PrintRow("clock_nanosleep (relative)", us, 2000, Measure(us, 2000, OsSleep));
        PrintRow("UOS_MikroDelay", us, 2000,
                 Measure(us, 2000, [](int64_t u) { UOS_MikroDelay(static_cast<uint32_t>(u)); }));
    }
}

} // namespace

int main() {
    const int32_t path = M_open("sim_dio_1");
    if (path < 0)
        printf("M_open(sim_dio_1) failed: %s (the I/O-control rows are left out)\n",
               UOS_ErrString(static_cast<int32_t>(UOS_ErrnoGet())));
    HANDLE handle = path >= 0 ? reinterpret_cast<HANDLE>(static_cast<intptr_t>(path)) : nullptr;
    printf("delay error = measured - requested\n");
    printf("%-34s %9s %6s %12s %12s\n", "delay", "req [us]", "n", "p50 err[us]", "p99 err[us]");
    const double ratio = CompareMillisecondDelays(handle);
    CompareMicroDelays();
    printf("worst ratio of median error, UOS_Delay / clock_nanosleep: %.2f\n", ratio);
    if (path >= 0)
        M_close(path);
    return 0;
}
