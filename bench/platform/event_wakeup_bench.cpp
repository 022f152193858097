// Measures how long a wake-up takes from one process to another: a ping-pong between two
// processes, first over raw datagram socket files with blocking receives, then over
// named events (SetEvent -> WaitForSingleObject, and SetEvent -> WaitForMultipleObjects on
// a named plus an unnamed control event, as a signal thread waits). The mechanisms take
// turns, run after run; prints the median one-way time of each over the runs, its range, and
// the ratio of the medians to the raw figure.
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "signal_bench.h"
#include "trax_win32.h"

extern char **environ;

namespace {

constexpr int kWarmUp = 500;
constexpr int kRounds = 10000;
constexpr int kRuns = 5;

std::string eventName(long parent, char side) {
    return "bench-" + std::to_string(parent) + "-" + side;
}

// ---- raw datagrams ----

sockaddr_un rawAddress(long parent, char side) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "/tmp/trax-rawbench-%ld-%c", parent,
                  side);
    return address;
}

int rawSocket(long parent, char side) {
    const sockaddr_un address = rawAddress(parent, side);
    unlink(address.sun_path);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        std::perror("raw socket");
        std::exit(1);
    }
    return fd;
}

void rawClose(int fd, long parent, char side) {
    unlink(rawAddress(parent, side).sun_path);
    close(fd);
}

// Blocking send; the peer's socket exists before the first send of each side.
void rawSend(int fd, long parent, char side) {
    const sockaddr_un address = rawAddress(parent, side);
    const uint64_t stamp = 1;
    if (sendto(fd, &stamp, sizeof stamp, 0, reinterpret_cast<const sockaddr *>(&address),
               sizeof address) < 0) {
        std::perror("raw send");
        std::exit(1);
    }
}

void rawReceive(int fd) {
    uint64_t stamp;
    if (recv(fd, &stamp, sizeof stamp, 0) < 0) {
        std::perror("raw receive");
        std::exit(1);
    }
}

// ---- named events ----

struct EventPair {
    HANDLE own;
    HANDLE peer;
    HANDLE control;
};

void eventSend(const EventPair &events) {
    SetEvent(events.peer);
}

void eventReceive(const EventPair &events, bool multiple) {
    if (multiple) {
        HANDLE both[] = {events.control, events.own};
        WaitForMultipleObjects(2, both, FALSE, INFINITE);
    } else {
        WaitForSingleObject(events.own, INFINITE);
    }
}

// ---- the two sides ----

int runChild(const char *mode, long parent) {
    if (std::strcmp(mode, "raw") == 0) {
        const int fd = rawSocket(parent, 'b');
        rawSend(fd, parent, 'a'); // ready
        for (int i = 0; i < kWarmUp + kRounds; ++i) {
            rawReceive(fd);
            rawSend(fd, parent, 'a');
        }
        rawClose(fd, parent, 'b');
        return 0;
    }
    const bool multiple = std::strcmp(mode, "multiple") == 0;
    EventPair events{CreateEventA(nullptr, FALSE, FALSE, eventName(parent, 'b').c_str()),
                     CreateEventA(nullptr, FALSE, FALSE, eventName(parent, 'a').c_str()),
                     CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    eventSend(events); // ready
    for (int i = 0; i < kWarmUp + kRounds; ++i) {
        eventReceive(events, multiple);
        eventSend(events);
    }
    return 0;
}

pid_t startChild(const char *mode) {
    const std::string parent = std::to_string(getpid());
    char self[] = "/proc/self/exe";
    char *argv[] = {self, const_cast<char *>(mode), const_cast<char *>(parent.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self, nullptr, nullptr, argv, environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    return pid;
}

// Returns the mean one-way wake-up time in microseconds.
template <class Send, class Receive> double pingPong(Send send, Receive receive) {
    receive(); // the child is ready
    for (int i = 0; i < kWarmUp; ++i) {
        send();
        receive();
    }
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        send();
        receive();
    }
    const std::chrono::duration<double, std::micro> elapsed =
        std::chrono::steady_clock::now() - start;
    return elapsed.count() / kRounds / 2;
}

double measureRaw() {
    const long self = getpid();
    const int fd = rawSocket(self, 'a');
    const pid_t child = startChild("raw");
    const double us = pingPong([&] { rawSend(fd, self, 'b'); }, [&] { rawReceive(fd); });
    waitpid(child, nullptr, 0);
    rawClose(fd, self, 'a');
    return us;
}

double measureEvents(const char *mode) {
    const long self = getpid();
    EventPair events{CreateEventA(nullptr, FALSE, FALSE, eventName(self, 'a').c_str()), nullptr,
                     CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    const pid_t child = startChild(mode);
    const bool multiple = std::strcmp(mode, "multiple") == 0;
    eventReceive(events, multiple); // the child owns its name now
    events.peer = CreateEventA(nullptr, FALSE, FALSE, eventName(self, 'b').c_str());
    SetEvent(events.own); // give pingPong its "ready" wake-up back
    const double us = pingPong([&] { eventSend(events); }, [&] { eventReceive(events, multiple); });
    waitpid(child, nullptr, 0);
    CloseHandle(events.own);
    CloseHandle(events.peer);
    CloseHandle(events.control);
    return us;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3)
        return runChild(argv[1], std::atol(argv[2]));
    std::vector<double> raw, single, multiple;
    for (int run = 0; run < kRuns; ++run) {
        raw.push_back(measureRaw());
        single.push_back(measureEvents("single"));
        multiple.push_back(measureEvents("multiple"));
    }
    const bench::Spread r = bench::SpreadOf(raw);
    std::printf("cross-process wake-up, one way, mean of %d round trips; median (range) of %d "
                "interleaved runs\n",
                kRounds, kRuns);
    const struct {
        const char *name;
        bench::Spread spread;
    } rows[] = {{"raw datagram, blocking recv", r},
                {"SetEvent -> WaitForSingleObject", bench::SpreadOf(single)},
                {"SetEvent -> WaitForMultipleObjects (2 events)", bench::SpreadOf(multiple)}};
    for (const auto &row : rows) {
        std::printf("  %-46s", row.name);
        bench::PrintSpread(row.spread, 22, "%.2f");
        std::printf(" us  (%.2fx raw)\n", row.spread.median / r.median);
    }
    return 0;
}
