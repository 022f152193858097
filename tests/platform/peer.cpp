// The other process of the cross-process tests. Commands:
// set <name>...              create each named event, set it once; print "existed <0|1>"
//                            per name and "failed <error>" after a failed set; exit
//                            status 1 if a call failed
// own <name> <count> <ms>    create the event, print "ready <last error>" (or "failed
//                            <error>" and exit status 1), then wait count times,
//                            printing "signalled" or "timeout" each time
// alternate <count> <a> <b>  set the events a and b in turn, count times each; print
//                            "done", or "failed <error>" and exit status 1
// send-raw <path>            send one wake-up datagram to the socket file; print "sent" or
//                            "unsent"
// bind-raw <path>            bind a socket to the file; print "bound" or "refused"
// as-user <uid> <command...> switch to that user (and its group of the same number),
//                            then run the command
// version                    print the emulated version as "<platform> <major> <minor>
//                            <build> <service pack>"
// hold-mapping <name> <n>    create a 4096-byte named mapping, store n in its first word,
//                            print "mapped <existed 0|1>" and wait until killed
// hold-mutex <name>          create the named mutex, take it, print the wait's result and
//                            wait until killed
// open-file <path>           open the file read-only, print "opened" or "refused"
#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "trax_win32.h"

namespace {

int setNames(int count, char **names) {
    int status = 0;
    for (int i = 0; i < count; ++i) {
        HANDLE event = CreateEventA(nullptr, FALSE, FALSE, names[i]);
        if (event == nullptr)
            return 1;
        std::printf("existed %d\n", GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 0);
        if (!SetEvent(event)) {
            std::printf("failed %u\n", GetLastError());
            status = 1;
        }
        CloseHandle(event);
    }
    return status;
}

int own(const char *name, int count, DWORD ms) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name);
    if (event == nullptr) {
        std::printf("failed %u\n", GetLastError());
        return 1;
    }
    std::printf("ready %u\n", GetLastError());
    std::fflush(stdout);
    for (int i = 0; i < count; ++i) {
        std::printf("%s\n",
                    WaitForSingleObject(event, ms) == WAIT_OBJECT_0 ? "signalled" : "timeout");
        std::fflush(stdout);
    }
    CloseHandle(event);
    return 0;
}

int alternate(int count, const char *a, const char *b) {
    HANDLE events[] = {CreateEventA(nullptr, FALSE, FALSE, a),
                       CreateEventA(nullptr, FALSE, FALSE, b)};
    if (events[0] == nullptr || events[1] == nullptr)
        return 1;
    for (int i = 0; i < 2 * count; ++i) {
        if (!SetEvent(events[i % 2])) {
            std::printf("failed %u\n", GetLastError());
            return 1;
        }
    }
    std::printf("done\n");
    return 0;
}

sockaddr_un pathAddress(const char *path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path);
    return address;
}

int sendRaw(const char *path) {
    const sockaddr_un address = pathAddress(path);
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t sent = static_cast<uint64_t>(now.tv_sec) * 1000000000u + now.tv_nsec;
    const bool ok = sendto(fd, &sent, sizeof sent, 0, reinterpret_cast<const sockaddr *>(&address),
                           sizeof address) == sizeof sent;
    close(fd);
    std::printf("%s\n", ok ? "sent" : "unsent");
    return ok ? 0 : 1;
}

int bindRaw(const char *path) {
    const sockaddr_un address = pathAddress(path);
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    const bool ok = bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    if (ok)
        unlink(path);
    close(fd);
    std::printf("%s\n", ok ? "bound" : "refused");
    return ok ? 0 : 1;
}

int version() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return 1;
    std::printf("%u %u %u %u %s\n", info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion,
                info.dwBuildNumber, info.szCSDVersion);
    return 0;
}

[[noreturn]] void waitUntilKilled() {
    std::fflush(stdout);
    for (;;)
        pause();
}

int holdMapping(const char *name, uint32_t value) {
    HANDLE mapping =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, name);
    const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
    void *view =
        mapping != nullptr ? MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0) : nullptr;
    if (view == nullptr)
        return 1;
    std::printf("mapped %d\n", existed ? 1 : 0);
    std::memcpy(view, &value, sizeof value);
    waitUntilKilled();
}

int holdMutex(const char *name) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name);
    if (mutex == nullptr)
        return 1;
    std::printf("held %u\n", WaitForSingleObject(mutex, INFINITE));
    waitUntilKilled();
}

int openFile(const char *path) {
    const int fd = open(path, O_RDONLY | O_NOFOLLOW);
    std::printf("%s\n", fd >= 0 ? "opened" : "refused");
    return 0;
}

int run(int argc, char **argv) {
    if (argc < 2)
        return 2;
    const char *command = argv[1];
    if (std::strcmp(command, "set") == 0)
        return setNames(argc - 2, argv + 2);
    if (std::strcmp(command, "own") == 0 && argc == 5)
        return own(argv[2], std::atoi(argv[3]), static_cast<DWORD>(std::atol(argv[4])));
    if (std::strcmp(command, "alternate") == 0 && argc == 5)
        return alternate(std::atoi(argv[2]), argv[3], argv[4]);
    if (std::strcmp(command, "send-raw") == 0 && argc == 3)
        return sendRaw(argv[2]);
    if (std::strcmp(command, "bind-raw") == 0 && argc == 3)
        return bindRaw(argv[2]);
    if (std::strcmp(command, "as-user") == 0 && argc >= 4) {
        const auto uid = static_cast<uid_t>(std::atol(argv[2]));
        if (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0)
            return 3;
        return run(argc - 2, argv + 2);
    }
    if (std::strcmp(command, "version") == 0)
        return version();
    if (std::strcmp(command, "hold-mapping") == 0 && argc == 4)
        return holdMapping(argv[2], static_cast<uint32_t>(std::atol(argv[3])));
    if (std::strcmp(command, "hold-mutex") == 0 && argc == 3)
        return holdMutex(argv[2]);
    if (std::strcmp(command, "open-file") == 0 && argc == 3)
        return openFile(argv[2]);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    return run(argc, argv);
}
