// Figures of a benchmark that runs the measured side and its floor interleaved in blocks:
// each block gives one value per side, each run one ratio, and the runs are summed up as
// the median with the spread (minimum - maximum).
#ifndef BENCH_RATIO_STATS_H
#define BENCH_RATIO_STATS_H

#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace bench {

/// Median, minimum and maximum of a series of values.
struct Spread {
    double median = 0;
    double min = 0;
    double max = 0;
};

inline Spread SpreadOf(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return Spread{median, values.front(), values.back()};
}

/// "median (min-max)" of the values with the given printf format for each number.
inline void PrintSpread(const char *format, const std::vector<double> &values) {
    const Spread s = SpreadOf(values);
    std::printf(format, s.median);
    std::printf(" (");
    std::printf(format, s.min);
    std::printf("-");
    std::printf(format, s.max);
    std::printf(")");
}

/// Element-wise ratio of two series of the same length.
inline std::vector<double> Ratios(const std::vector<double> &over,
                                  const std::vector<double> &under) {
    std::vector<double> ratios;
    for (size_t i = 0; i < over.size() && i < under.size(); ++i)
        ratios.push_back(under[i] > 0 ? over[i] / under[i] : 0);
    return ratios;
}

/// Processor time of the calling thread in nanoseconds: time the thread waited for a
/// processor on the shared machine does not count.
inline int64_t ThreadCpuNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace bench

#endif
