// Shared simulated devices.
//
//   device_sharing_bench [PROCESSES [SECONDS]]     (defaults 4 and 10)
//
// 1. M_read and M_write on a shared device against a private one, in processor time per
//    call: each figure is measured in a child process of its own (the sharing mode is chosen
//    per process), the two modes in turns over several rounds; each figure and the ratio of
//    each round are printed as median (min-max).
// 2. PROCESSES trax_sim_user processes increment one counter in the block memory of a
//    shared device under the device semaphore for SECONDS; the sum of their increments is
//    compared with the counter's final value.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ratio_stats.h"
#include "sim_user.h"
#include "trax_api.h"

extern char **environ;

namespace {

constexpr int kRounds = 7;
constexpr int kCalls = 200000;

std::string bin_dir() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    std::string exe(path, n > 0 ? static_cast<size_t>(n) : 0);
    return exe.substr(0, exe.rfind('/'));
}

// Starts a program with its standard output on a pipe; returns the pid and the read end.
pid_t spawn(const std::vector<std::string> &args, const char *sharing, int &out) {
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    std::vector<char *> argv;
    for (const std::string &arg : args)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> env{std::string("TRAX_SIM_SHARING=") + sharing};
    std::vector<char *> envp{env[0].data()};
    for (char **e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, "TRAX_SIM_SHARING=", 17) != 0)
            envp.push_back(*e);
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out = fds[0];
    return pid;
}

std::string read_all(int fd) {
    std::string text;
    char buffer[256];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(n));
    close(fd);
    return text;
}

std::string run(const std::vector<std::string> &args, const char *sharing) {
    int out = -1;
    const pid_t pid = spawn(args, sharing, out);
    if (pid < 0)
        return {};
    std::string text = read_all(out);
    waitpid(pid, nullptr, 0);
    return text;
}

// Child: processor ns per M_read and per M_write on a device of its own.
int measure(const std::string &device) {
    AddSharedTestDevice(device);
    const int32_t path = M_open(device.c_str());
    if (path < 0)
        return 1;
    int32_t value = 0;
    int64_t start = bench::ThreadCpuNs();
    for (int i = 0; i < kCalls; ++i)
        M_read(path, &value);
    const int64_t readNs = bench::ThreadCpuNs() - start;
    start = bench::ThreadCpuNs();
    for (int i = 0; i < kCalls; ++i)
        M_write(path, i);
    const int64_t writeNs = bench::ThreadCpuNs() - start;
    std::printf("%.1f %.1f\n", static_cast<double>(readNs) / kCalls,
                static_cast<double>(writeNs) / kCalls);
    M_close(path);
    return 0;
}

void compare_call_costs(const std::string &self) {
    std::vector<double> figures[2][2]; // [private/shared][read/write]
    const std::string device = "bench_cost_" + std::to_string(getpid());
    for (int round = 0; round < kRounds; ++round) {
        for (int shared = 0; shared < 2; ++shared) {
            const std::string out = run({self, "--measure", device}, shared ? "user" : "process");
            double read = 0, write = 0;
            if (std::sscanf(out.c_str(), "%lf %lf", &read, &write) == 2) {
                figures[shared][0].push_back(read);
                figures[shared][1].push_back(write);
            }
        }
    }
    std::printf("processor time per call (ns), median (min-max) of %d rounds of %d calls\n",
                kRounds, kCalls);
    const char *names[] = {"M_read", "M_write"};
    for (int call = 0; call < 2; ++call) {
        std::printf("  %-8s private ", names[call]);
        bench::PrintSpread("%.1f", figures[0][call]);
        std::printf("  shared ");
        bench::PrintSpread("%.1f", figures[1][call]);
        std::printf("  shared/private ");
        bench::PrintSpread("%.2f", bench::Ratios(figures[1][call], figures[0][call]));
        std::printf("\n");
    }
}

void hammer(const std::string &userProgram, int processes, int seconds) {
    const std::string device = "bench_hammer_" + std::to_string(getpid());
    AddSharedTestDevice(device);
    const int32_t path = M_open(device.c_str()); // holds the state for the whole run
    std::vector<std::pair<pid_t, int>> workers;
    for (int i = 0; i < processes; ++i) {
        int out = -1;
        const pid_t pid = spawn(
            {userProgram, device, "open", "hammer:" + std::to_string(seconds * 1000)}, "user", out);
        if (pid > 0)
            workers.emplace_back(pid, out);
    }
    long made = 0;
    for (auto &[pid, out] : workers) {
        const std::string text = read_all(out);
        const char *counted = std::strstr(text.c_str(), "counted ");
        made += counted != nullptr ? std::atol(counted + 8) : 0;
        waitpid(pid, nullptr, 0);
    }
    uint32_t counter = 0;
    M_getblock(path, reinterpret_cast<uint8_t *>(&counter), 4);
    M_close(path);
    std::printf("%d processes, %d s under the device semaphore\n", processes, seconds);
    std::printf("  increments made %ld, counter %u, lost %ld\n", made, counter,
                made - static_cast<long>(counter));
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--measure") == 0)
        return measure(argv[2]);
    setenv("TRAX_SIM_SHARING", "user", 1); // this process holds the hammered device
    const int processes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 4;
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;
    compare_call_costs(argv[0][0] == '/' ? argv[0] : bin_dir() + "/device_sharing_bench");
    hammer(bin_dir() + "/trax_sim_user", processes, seconds);
    return 0;
}
