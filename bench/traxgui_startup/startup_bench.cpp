// Starts traxgui and the floor program in turn on the offscreen platform, each quitting
// after its main window is shown and its child form has painted itself for the first time,
// and prints for each the median wall time from start to exit and the median and highest
// peak resident memory, and the ratio of each pair of runs as median (min-max).
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ratio_stats.h"

namespace {

struct Run {
    double milliseconds;
    long peakKilobytes;
};

struct Figures {
    double medianMs;
    double medianMb;
    double maxMb;
};

/// Runs program once; returns false if it could not be started or did not end cleanly.
bool runOnce(const char *program, Run &run) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("TRAXGUI_QUIT_WHEN_SHOWN", "1", 1);
        // The platform's notices would drown the figures.
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0)
            dup2(devNull, STDERR_FILENO);
        // A program that never paints is ended by the alarm, which outlives the exec.
        alarm(60);
        execl(program, program, static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return false;
    const auto end = std::chrono::steady_clock::now();
    run.milliseconds = std::chrono::duration<double, std::milli>(end - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <typename T> T median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

/// Runs of one program, reduced to their figures.
struct Series {
    std::vector<double> times;
    std::vector<long> peaks;

    Figures figures() const {
        return {median(times), static_cast<double>(median(peaks)) / 1024.0,
                static_cast<double>(*std::max_element(peaks.begin(), peaks.end())) / 1024.0};
    }
};

/// Runs both programs in turn, so that a change in the machine's load affects both alike.
/// The first run of each fills the file cache and is not counted.
bool measure(int repetitions, Series &floor, Series &traxgui) {
    Run run{};
    if (!runOnce(FLOOR_PATH, run) || !runOnce(TRAXGUI_PATH, run))
        return false;
    for (int i = 0; i < repetitions; ++i) {
        for (auto [program, series] :
             {std::pair{FLOOR_PATH, &floor}, std::pair{TRAXGUI_PATH, &traxgui}}) {
            if (!runOnce(program, run))
                return false;
            series->times.push_back(run.milliseconds);
            series->peaks.push_back(run.peakKilobytes);
        }
    }
    return true;
}

void print(const char *name, const Figures &f) {
    std::printf("%-10s  median start-to-first-paint-and-exit %7.1f ms   peak RSS median %6.1f MB, "
                "max %6.1f MB\n",
                name, f.medianMs, f.medianMb, f.maxMb);
}

} // namespace

int main(int argc, char *argv[]) {
    const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
    Series floorRuns, traxguiRuns;
    if (!measure(repetitions, floorRuns, traxguiRuns)) {
        std::fprintf(stderr, "a program could not be run to its end\n");
        return 1;
    }
    const Figures floor = floorRuns.figures();
    const Figures traxgui = traxguiRuns.figures();
    std::printf("traxgui start-up, offscreen platform, %d runs each\n", repetitions);
    print("floor", floor);
    print("traxgui", traxgui);
    std::vector<double> peaks, floorPeaks;
    for (size_t i = 0; i < traxguiRuns.peaks.size(); ++i) {
        peaks.push_back(static_cast<double>(traxguiRuns.peaks[i]));
        floorPeaks.push_back(static_cast<double>(floorRuns.peaks[i]));
    }
    std::printf("ratio of each pair of runs, median (min-max): time ");
    bench::PrintSpread("%.2f", bench::Ratios(traxguiRuns.times, floorRuns.times));
    std::printf("   memory ");
    bench::PrintSpread("%.2f", bench::Ratios(peaks, floorPeaks));
    std::printf("\n");
    return 0;
}
