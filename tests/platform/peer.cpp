// The other process of the cross-process tests. Commands:
// set <name>...              create each named event, set it once; print "existed <0|1>"
//                            per name and "failed <error>" after a failed set; exit
//                            status 1 if a call failed
// bells <name>...            create each named event and set it once, then print
//                            "bells <n>": the doorbell files this process has mapped
// own <name> <count> <ms>    create the event, print "ready <last error>" (or "failed
//                            <error>" and exit status 1), then wait count times,
//                            printing "signalled" or "timeout" each time
// alternate <count> <a> <b>  set the events a and b in turn, count times each; print
//                            "done", or "failed <error>" and exit status 1
// write-raw <path>           open the event file for writing; print "opened" or "refused"
// create-raw <path>          create a file there; print "created" or "refused"
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
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// Opens and sets every name, keeping the handles, and counts the doorbells now mapped.
int countBells(int count, char **names) {
    for (int i = 0; i < count; ++i) {
        HANDLE event = CreateEventA(nullptr, FALSE, FALSE, names[i]);
        if (event == nullptr || !SetEvent(event))
            return 1;
    }
    std::FILE *maps = std::fopen("/proc/self/maps", "r");
    if (maps == nullptr)
        return 1;
    int bells = 0;
    char line[4096];
    while (std::fgets(line, sizeof line, maps) != nullptr)
        bells += std::strstr(line, "/evb-") != nullptr ? 1 : 0;
    std::fclose(maps);
    std::printf("bells %d\n", bells);
    return 0;
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

int writeRaw(const char *path) {
    const int fd = open(path, O_RDWR | O_NOFOLLOW);
    std::printf("%s\n", fd >= 0 ? "opened" : "refused");
    if (fd >= 0)
        close(fd);
    return fd >= 0 ? 0 : 1;
}

int createRaw(const char *path) {
    const int fd = open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    std::printf("%s\n", fd >= 0 ? "created" : "refused");
    if (fd < 0)
        return 1;
    unlink(path);
    close(fd);
    return 0;
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
    if (std::strcmp(command, "bells") == 0)
        return countBells(argc - 2, argv + 2);
    if (std::strcmp(command, "own") == 0 && argc == 5)
        return own(argv[2], std::atoi(argv[3]), static_cast<DWORD>(std::atol(argv[4])));
    if (std::strcmp(command, "alternate") == 0 && argc == 5)
        return alternate(std::atoi(argv[2]), argv[3], argv[4]);
    if (std::strcmp(command, "write-raw") == 0 && argc == 3)
        return writeRaw(argv[2]);
    if (std::strcmp(command, "create-raw") == 0 && argc == 3)
        return createRaw(argv[2]);
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
