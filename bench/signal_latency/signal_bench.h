// Pieces shared by the cross-process signal benchmarks: a child process, memory shared with
// it, and the printing of a figure's median and spread (ratio_stats.h) over several runs.
#ifndef BENCH_SIGNAL_BENCH_H
#define BENCH_SIGNAL_BENCH_H

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "ratio_stats.h"

namespace bench {

/// A T in memory shared with the children forked after it was made.
template <class T> T *MapShared() {
    void *memory =
        mmap(nullptr, sizeof(T), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) {
        std::perror("mmap");
        std::exit(1);
    }
    return new (memory) T{};
}

/// Forks a child that runs body and ends; returns its process id.
template <class Body> pid_t Fork(Body body) {
    const pid_t child = fork();
    if (child < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (child == 0) {
        body();
        _exit(0);
    }
    return child;
}

/// A pipe through which a child tells its parent that it is ready (one byte: 1 or 0).
class ReadyPipe {
  public:
    ReadyPipe() {
        if (pipe(fds_) != 0) {
            std::perror("pipe");
            std::exit(1);
        }
    }
    ~ReadyPipe() {
        close(fds_[0]);
        close(fds_[1]);
    }
    void Tell(bool ready) {
        const char flag = ready ? 1 : 0;
        if (write(fds_[1], &flag, 1) != 1)
            _exit(1);
    }
    bool Await() {
        char flag = 0;
        return read(fds_[0], &flag, 1) == 1 && flag == 1;
    }

  private:
    int fds_[2];
};

/// "median (min-max)" in a field of the given width.
inline void PrintSpread(const Spread &s, int width, const char *format = "%.1f") {
    char median[32], min[32], max[32], text[112];
    std::snprintf(median, sizeof median, format, s.median);
    std::snprintf(min, sizeof min, format, s.min);
    std::snprintf(max, sizeof max, format, s.max);
    std::snprintf(text, sizeof text, "%s (%s-%s)", median, min, max);
    std::printf(" %*s", width, text);
}

} // namespace bench

#endif
