// Benchmark of traxnt, each figure beside its floor measured in the same run, the two
// sides interleaved and repeated; each ratio is printed as median (min-max) over the runs.
// Nothing is asserted.
//  - A scripted session (mr, mw, mg, ms, block reads and writes, and a call that fails) on
//    sim_dio_1, its output read through a pipe: processor time and write() calls of traxnt
//    beside a minimal shell making the same calls, and optionally beside another traxnt
//    build (e.g. the previous one).
//  - Start-up to the first prompt beside a C++ program linking the C library only, the same
//    program with the C++ library loaded but unused (what the C++ library's loading alone
//    costs), and one using iostreams.
//  - Console hand-over with ts among ten threads beside the same with one thread.
//
// Usage: traxnt_throughput [commands [other-traxnt]]   (default 100000 commands; the
// programs are looked up next to this one)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ratio_stats.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSessionRuns = 7;
constexpr int kStartRuns = 9;
constexpr int kStartsPerBlock = 5;
constexpr int kHandOverRuns = 5;
constexpr int kHandOvers = 1000;

struct RunFigures {
    double seconds = 0;    // wall-clock time
    double cpuSeconds = 0; // user and system time of the program
    long writeCalls = 0;   // write system calls
    long peakKiB = 0;
    int status = -1;
};

std::string ProgramDir(const char *argv0) {
    const std::string self(argv0);
    const size_t slash = self.rfind('/');
    return slash == std::string::npos ? "." : self.substr(0, slash);
}

std::string WriteScript(const std::string &text) {
    char path[] = "/tmp/traxnt_bench_XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::perror("script");
        std::exit(1);
    }
    close(fd);
    return path;
}

/// The session: open sim_dio_1, then commands of the mix in turn, then "e".
std::string SessionScript(long commands) {
    static const char *const kMix[] = {"mr\n",     "mw 5\n",   "mg 1101 0\n",   "ms 1002 0\n",
                                       "mgb 16\n", "msb 16\n", "ms 1002 ffff\n"};
    std::string text = "mo sim_dio_1\n";
    for (long i = 0; i < commands; ++i)
        text += kMix[i % (sizeof kMix / sizeof kMix[0])];
    return text + "e\n";
}

/// Hand-overs: threads - 1 created threads, then ts handovers times; the end of input ends
/// the program in whichever thread holds the console.
std::string HandOverScript(int threads, int handovers) {
    std::string text;
    for (int i = 1; i < threads; ++i)
        text += "tc\n";
    for (int i = 0; i < handovers; ++i)
        text += "ts\n";
    return text;
}

long WriteCallsOf(pid_t pid) {
    const std::string file = "/proc/" + std::to_string(pid) + "/io";
    FILE *io = std::fopen(file.c_str(), "r");
    long calls = -1;
    char line[128];
    while (io != nullptr && std::fgets(line, sizeof line, io) != nullptr) {
        if (std::sscanf(line, "syscw: %ld", &calls) == 1)
            break;
    }
    if (io != nullptr)
        std::fclose(io);
    return calls;
}

/// Waits for the child; reads its write() count while it is still a zombie, then reaps it
/// with its exit status, processor time and peak resident memory.
void Reap(pid_t pid, RunFigures *figures) {
    siginfo_t info{};
    waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT);
    figures->writeCalls = WriteCallsOf(pid);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    figures->status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    figures->peakKiB = usage.ru_maxrss;
    figures->cpuSeconds =
        static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

/// Runs program with standard input from a file and standard output into a pipe that this
/// process drains, as a terminal or a test harness would.
RunFigures RunScripted(const std::string &program, const std::string &script) {
    RunFigures figures;
    int out[2];
    if (pipe(out) != 0)
        return figures;
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open(script.c_str(), O_RDONLY);
        dup2(in, STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    static char drain[1 << 16];
    while (read(out[0], drain, sizeof drain) > 0) {
    }
    close(out[0]);
    Reap(pid, &figures);
    figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    return figures;
}

/// Time from the start of program until it has printed its first prompt (the text
/// "==> cmd: -") and waits for input; then its input is closed and it ends.
double SecondsToFirstPrompt(const std::string &program) {
    int in[2];
    int out[2];
    if (pipe(in) != 0 || pipe(out) != 0)
        return 0;
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
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(in[1]);
    while (read(out[0], buf, sizeof buf) > 0) {
    }
    close(out[0]);
    RunFigures ignored;
    Reap(pid, &ignored);
    return seconds;
}

void PrintRow(const char *what, const char *format, const std::vector<double> &values,
              const char *note = "") {
    std::printf("  %-34s ", what);
    bench::PrintSpread(format, values);
    std::printf("%s\n", note);
}

void Session(long commands, const std::string &traxnt, const std::string &ceiling,
             const std::string &other) {
    const std::string script = WriteScript(SessionScript(commands));
    std::vector<double> cpu, ceilingCpu, otherCpu, writes, ceilingWrites, otherWrites;
    int badExits = 0;
    // Write calls are reported per 100,000 commands.
    const double perCommands = 1e5 / static_cast<double>(commands);
    for (int r = 0; r < kSessionRuns; ++r) {
        const RunFigures shell = RunScripted(traxnt, script);
        const RunFigures bare = RunScripted(ceiling, script);
        cpu.push_back(shell.cpuSeconds);
        ceilingCpu.push_back(bare.cpuSeconds);
        writes.push_back(static_cast<double>(shell.writeCalls) * perCommands);
        ceilingWrites.push_back(static_cast<double>(bare.writeCalls) * perCommands);
        badExits += (shell.status != 0) + (bare.status != 0);
        if (!other.empty()) {
            const RunFigures previous = RunScripted(other, script);
            otherCpu.push_back(previous.cpuSeconds);
            otherWrites.push_back(static_cast<double>(previous.writeCalls) * perCommands);
            badExits += previous.status != 0;
        }
    }
    unlink(script.c_str());
    std::printf("session of %ld commands (mr, mw, mg, ms, mgb, msb, failing ms) on sim_dio_1, "
                "%d runs in turns, processor time; median (min-max)%s\n",
                commands, kSessionRuns, badExits != 0 ? "  ** some runs did not exit 0 **" : "");
    PrintRow("traxnt cpu [s]", "%.3f", cpu);
    PrintRow("ceiling cpu [s]", "%.3f", ceilingCpu);
    PrintRow("ratio traxnt / ceiling", "%.2f", bench::Ratios(cpu, ceilingCpu));
    PrintRow("traxnt write() per 100k commands", "%.0f", writes);
    PrintRow("ceiling write() per 100k commands", "%.0f", ceilingWrites);
    if (!other.empty()) {
        PrintRow("other traxnt cpu [s]", "%.3f", otherCpu);
        PrintRow("other write() per 100k commands", "%.0f", otherWrites);
        PrintRow("ratio traxnt / other traxnt", "%.2f", bench::Ratios(cpu, otherCpu),
                 "  (goal <= 0.75)");
    }
}

/// The median start-up of a block of starts of program, in ms.
double StartBlockMs(const std::string &program) {
    std::vector<double> starts;
    for (int i = 0; i < kStartsPerBlock; ++i)
        starts.push_back(SecondsToFirstPrompt(program) * 1e3);
    return bench::SpreadOf(starts).median;
}

void StartUp(const std::string &traxnt, const std::string &libcOnly, const std::string &runtimeOnly,
             const std::string &iostream) {
    std::vector<double> shell, libc, runtime, streams;
    for (int r = 0; r < kStartRuns; ++r) {
        shell.push_back(StartBlockMs(traxnt));
        libc.push_back(StartBlockMs(libcOnly));
        runtime.push_back(StartBlockMs(runtimeOnly));
        streams.push_back(StartBlockMs(iostream));
    }
    std::printf("start-up to the first prompt [ms], %d runs of blocks of %d starts each in "
                "turns; median (min-max) of the block medians\n",
                kStartRuns, kStartsPerBlock);
    PrintRow("traxnt", "%.2f", shell);
    PrintRow("C++ program, C library only", "%.2f", libc);
    PrintRow("same, C++ library loaded, unused", "%.2f", runtime);
    PrintRow("C++ program with iostream", "%.2f", streams);
    PrintRow("ratio traxnt / C library only", "%.2f", bench::Ratios(shell, libc),
             "  (goal <= 1.6)");
    PrintRow("ratio C++ library unused / C only", "%.2f", bench::Ratios(runtime, libc));
    PrintRow("ratio traxnt / iostream", "%.2f", bench::Ratios(shell, streams));
}

void HandOver(const std::string &traxnt) {
    const std::string one = WriteScript(HandOverScript(1, kHandOvers));
    const std::string ten = WriteScript(HandOverScript(10, kHandOvers));
    std::vector<double> alone, among;
    for (int r = 0; r < kHandOverRuns; ++r) {
        alone.push_back(RunScripted(traxnt, one).seconds * 1e3 / kHandOvers);
        among.push_back(RunScripted(traxnt, ten).seconds * 1e3 / kHandOvers);
    }
    unlink(one.c_str());
    unlink(ten.c_str());
    std::printf("console hand-over (ts), %d per session, %d runs in turns, wall time per ts "
                "[ms]; median (min-max)\n",
                kHandOvers, kHandOverRuns);
    PrintRow("1 thread", "%.3f", alone);
    PrintRow("10 threads", "%.3f", among, "  (goal <= 0.2)");
    PrintRow("ratio 10 threads / 1 thread", "%.2f", bench::Ratios(among, alone));
}

} // namespace

int main(int argc, char **argv) {
    const long commands = argc > 1 ? std::max(1L, std::atol(argv[1])) : 100000;
    const std::string other = argc > 2 ? argv[2] : "";
    const std::string dir = ProgramDir(argv[0]);
    const std::string traxnt = dir + "/traxnt";
    Session(commands, traxnt, dir + "/traxnt_bench_ceiling", other);
    StartUp(traxnt, dir + "/traxnt_bench_trivial_libc", dir + "/traxnt_bench_trivial_cxx_unused",
            dir + "/traxnt_bench_trivial");
    HandOver(traxnt);
    return 0;
}
