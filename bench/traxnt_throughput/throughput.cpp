/* Benchmark of traxnt: commands per second of a scripted session, start-up time to the
 * first prompt and peak memory, each beside its reference measured in the same run. The
 * figures are printed; nothing is asserted.
 *
 * Usage: traxnt_throughput [commands]   (default 400000; the programs are looked up next
 * to this one) */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kRepeats = 7;
constexpr int kStartRuns = 41;

struct RunFigures {
    double seconds = 0;    // wall-clock time
    double cpuSeconds = 0; // user and system time of the program
    long peakKiB = 0;
    int status = -1;
};

std::string ProgramDir(const char *argv0) {
    const std::string self(argv0);
    const size_t slash = self.rfind('/');
    return slash == std::string::npos ? "." : self.substr(0, slash);
}

/** The scripted session: open sim_dio_1, then a mix of mr, mw, mg and ms, then "e". */
std::string WriteScript(long commands) {
    char path[] = "/tmp/traxnt_bench_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) {
        std::perror("mkstemp");
        std::exit(1);
    }
    std::string text = "mo sim_dio_1\n";
    static const char *const kMix[] = {"mr\n", "mw 5\n", "mg 1101 0\n", "ms 1002 0\n"};
    for (long i = 0; i < commands; ++i)
        text += kMix[i % 4];
    text += "e\n";
    if (write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::perror("write");
        std::exit(1);
    }
    close(fd);
    return path;
}

/** Waits for the child and returns its exit status and peak resident memory. */
void Reap(pid_t pid, RunFigures *figures) {
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    figures->status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    figures->peakKiB = usage.ru_maxrss;
    figures->cpuSeconds =
        static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

/** Runs program with standard input from a file and standard output to /dev/null. */
RunFigures RunScripted(const std::string &program, const std::string &script) {
    RunFigures figures;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open(script.c_str(), O_RDONLY);
        const int out = open("/dev/null", O_WRONLY);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    Reap(pid, &figures);
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return figures;
}

/** Time from the start of program until it has printed its first prompt (the text
 *  "==> cmd: -") and waits for input; then its input is closed and it ends. */
RunFigures RunToFirstPrompt(const std::string &program) {
    RunFigures figures;
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return figures;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[1]);
        close(out[0]);
        execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    std::string seen;
    char buf[4096];
    while (seen.find("==> cmd: -") == std::string::npos) {
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0)
            break;
        seen.append(buf, static_cast<size_t>(n));
    }
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(in[1]);
    while (read(out[0], buf, sizeof buf) > 0) {
    }
    close(out[0]);
    Reap(pid, &figures);
    return figures;
}

/** Best of kRepeats runs of each program, taken in turns so that a change in the machine's
 *  load affects both alike. */
std::pair<RunFigures, RunFigures> BestScripted(const std::string &a, const std::string &b,
                                               const std::string &script) {
    std::pair<RunFigures, RunFigures> best;
    for (int i = 0; i < kRepeats; ++i) {
        const RunFigures runA = RunScripted(a, script);
        const RunFigures runB = RunScripted(b, script);
        if (i == 0 || runA.cpuSeconds < best.first.cpuSeconds)
            best.first = runA;
        if (i == 0 || runB.cpuSeconds < best.second.cpuSeconds)
            best.second = runB;
    }
    return best;
}

RunFigures Median(std::vector<RunFigures> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const RunFigures &x, const RunFigures &y) { return x.seconds < y.seconds; });
    return runs[runs.size() / 2];
}

/** Median start-up of each program, runs taken in turns. */
std::pair<RunFigures, RunFigures> MedianStart(const std::string &a, const std::string &b) {
    std::vector<RunFigures> runsA;
    std::vector<RunFigures> runsB;
    for (int i = 0; i < kStartRuns; ++i) {
        runsA.push_back(RunToFirstPrompt(a));
        runsB.push_back(RunToFirstPrompt(b));
    }
    return {Median(runsA), Median(runsB)};
}

} // namespace

int main(int argc, char **argv) {
    const long commands = argc > 1 ? std::atol(argv[1]) : 400000;
    const std::string dir = ProgramDir(argv[0]);
    const std::string traxnt = dir + "/traxnt";
    const std::string ceiling = dir + "/traxnt_bench_ceiling";
    const std::string trivial = dir + "/traxnt_bench_trivial";
    const std::string script = WriteScript(commands);

    const auto [shell, bare] = BestScripted(traxnt, ceiling, script);
    unlink(script.c_str());
    // Rates from processor time: the machine is shared, and waiting for the processor
    // says nothing about either program.
    const double shellRate = commands / shell.cpuSeconds;
    const double bareRate = commands / bare.cpuSeconds;
    std::printf("session of %ld commands (mr, mw, mg, ms on sim_dio_1), best of %d runs each, "
                "by processor time\n",
                commands, kRepeats);
    std::printf(
        "  traxnt   : %10.0f commands/s  (cpu %.3f s, wall %.3f s, exit %d, peak %ld KiB)\n",
        shellRate, shell.cpuSeconds, shell.seconds, shell.status, shell.peakKiB);
    std::printf(
        "  ceiling  : %10.0f commands/s  (cpu %.3f s, wall %.3f s, exit %d, peak %ld KiB)\n",
        bareRate, bare.cpuSeconds, bare.seconds, bare.status, bare.peakKiB);
    std::printf("  ratio    : %10.2f of the ceiling (aim: at least 0.80)\n", shellRate / bareRate);

    const auto [shellStart, trivialStart] = MedianStart(traxnt, trivial);
    std::printf("start-up to the first prompt, median of %d runs\n", kStartRuns);
    std::printf("  traxnt   : %8.2f ms  (peak %ld KiB)\n", shellStart.seconds * 1e3,
                shellStart.peakKiB);
    std::printf("  trivial  : %8.2f ms  (peak %ld KiB)\n", trivialStart.seconds * 1e3,
                trivialStart.peakKiB);
    std::printf("  ratio    : %8.2f x start-up, %.2f x peak memory (aim: within 2)\n",
                shellStart.seconds / trivialStart.seconds,
                static_cast<double>(shellStart.peakKiB) /
                    static_cast<double>(trivialStart.peakKiB));
    return 0;
}
