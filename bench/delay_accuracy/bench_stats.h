// Small helpers shared by the benchmarks: the monotonic clock and percentiles.
#ifndef BENCH_STATS_H
#define BENCH_STATS_H

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace bench {

inline int64_t NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

/// The p-th percentile (0..100) of the samples, nearest rank; 0 for no samples.
inline double Percentile(std::vector<int64_t> samples, double p) {
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto rank = static_cast<size_t>(p / 100.0 * static_cast<double>(samples.size() - 1));
    return static_cast<double>(samples[rank]);
}

} // namespace bench

#endif
