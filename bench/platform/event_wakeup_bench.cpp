/* Measures how long a wake-up takes from one process to another: a ping-pong between two
 * processes, first over raw abstract datagram sockets with blocking receives, then over
 * named events (SetEvent -> WaitForSingleObject, and SetEvent -> WaitForMultipleObjects on
 * a named plus an unnamed control event, as a signal thread waits). Prints the one-way
 * time of each and its ratio to the raw figure. */
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

#include "trax_win32.h"

extern char **environ;

namespace {

constexpr int kWarmUp = 500;
constexpr int kRounds = 10000;
constexpr int kRuns = 5;

std::string eventName(long parent, char side) {
    return "bench-" + std::to_string(parent) + "-" + side;
}

/* ---- raw datagrams ---- */

socklen_t rawAddress(long parent, char side, sockaddr_un &address) {
    const std::string text = "trax-rawbench-" + std::to_string(parent) + "-" + side;
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path + 1, text.data(), text.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + text.size());
}

int rawSocket(long parent, char side) {
    sockaddr_un address;
    const socklen_t length = rawAddress(parent, side, address);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&address), length) != 0) {
        std::perror("raw socket");
        std::exit(1);
    }
    return fd;
}

void rawSend(int fd, long parent, char side) {
    sockaddr_un address;
    const socklen_t length = rawAddress(parent, side, address);
    const uint64_t stamp = 1;
    while (sendto(fd, &stamp, sizeof stamp, 0, reinterpret_cast<sockaddr *>(&address), length) < 0)
        ;
}

void rawReceive(int fd) {
    uint64_t stamp;
    while (recv(fd, &stamp, sizeof stamp, 0) < 0)
        ;
}

/* ---- named events ---- */

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

/* ---- the two sides ---- */

int runChild(const char *mode, long parent) {
    if (std::strcmp(mode, "raw") == 0) {
        const int fd = rawSocket(parent, 'b');
        rawSend(fd, parent, 'a'); /* ready */
        for (int i = 0; i < kWarmUp + kRounds; ++i) {
            rawReceive(fd);
            rawSend(fd, parent, 'a');
        }
        close(fd);
        return 0;
    }
    const bool multiple = std::strcmp(mode, "multiple") == 0;
    EventPair events{CreateEventA(nullptr, FALSE, FALSE, eventName(parent, 'b').c_str()),
                     CreateEventA(nullptr, FALSE, FALSE, eventName(parent, 'a').c_str()),
                     CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    eventSend(events); /* ready */
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

/* Returns the mean one-way wake-up time in microseconds. */
template <class Send, class Receive> double pingPong(Send send, Receive receive) {
    receive(); /* the child is ready */
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
    close(fd);
    return us;
}

double measureEvents(const char *mode) {
    const long self = getpid();
    EventPair events{CreateEventA(nullptr, FALSE, FALSE, eventName(self, 'a').c_str()), nullptr,
                     CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    const pid_t child = startChild(mode);
    const bool multiple = std::strcmp(mode, "multiple") == 0;
    eventReceive(events, multiple); /* the child owns its name now */
    events.peer = CreateEventA(nullptr, FALSE, FALSE, eventName(self, 'b').c_str());
    SetEvent(events.own); /* give pingPong its "ready" wake-up back */
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
    /* The best of a few alternating runs, so that load from other programs on the machine
     * disturbs the comparison less. */
    double raw = 1e9, single = 1e9, multiple = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        raw = std::min(raw, measureRaw());
        single = std::min(single, measureEvents("single"));
        multiple = std::min(multiple, measureEvents("multiple"));
    }
    std::printf("cross-process wake-up, one way, mean of %d round trips, best of %d runs\n",
                kRounds, kRuns);
    std::printf("  raw datagram, blocking recv:                  %8.2f us\n", raw);
    std::printf("  SetEvent -> WaitForSingleObject:              %8.2f us  (%.2fx raw)\n", single,
                single / raw);
    std::printf("  SetEvent -> WaitForMultipleObjects (2 events): %7.2f us  (%.2fx raw)\n",
                multiple, multiple / raw);
    return 0;
}
