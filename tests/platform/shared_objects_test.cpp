// Named file mappings and mutexes between processes: sharing, the abandoned-mutex rule,
// lifetime, reclaiming after a crash, and refusing what another user planted.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "peer_process.h"
#include "trax_win32.h"

namespace {

std::string uniqueName(const char *suffix) {
    return "xshared-" + std::to_string(GetCurrentProcessId()) + "-" + suffix;
}

std::string regionPath(const char *kind, const std::string &name) {
    return "/dev/shm/trax-" + std::to_string(geteuid()) + "-" + kind + "-" + name;
}

bool exists(const std::string &path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

HANDLE createMapping(const std::string &name, DWORD size = 4096) {
    return CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name.c_str());
}

uint32_t firstWord(HANDLE mapping) {
    void *view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    uint32_t value = 0;
    if (view != nullptr)
        std::memcpy(&value, view, sizeof value);
    UnmapViewOfFile(view);
    return value;
}

TEST(SharedMappings, AValueStoredByOneProcessIsSeenByAnotherAndOutlivesIt) {
    const std::string name = uniqueName("map");
    PeerProcess peer({"hold-mapping", name, "4711"});
    ASSERT_EQ(peer.readLine(), "mapped 0");
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(firstWord(mapping), 4711u);
    EXPECT_TRUE(exists(regionPath("map", name)));
    struct stat st {};
    ASSERT_EQ(stat(regionPath("map", name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    peer.kill();
    EXPECT_EQ(firstWord(mapping), 4711u) << "this process still holds it";
    HANDLE again = createMapping(name);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(again);
    CloseHandle(mapping);
    EXPECT_FALSE(exists(regionPath("map", name))) << "the last handle removes it";
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(SharedMappings, ARegionLeftByAKilledProcessIsReclaimedAtTheNextOpen) {
    const std::string name = uniqueName("stale");
    PeerProcess peer({"hold-mapping", name, "99"});
    ASSERT_EQ(peer.readLine(), "mapped 0");
    peer.kill();
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(exists(regionPath("map", name)));

    HANDLE fresh = createMapping(name);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(firstWord(fresh), 0u) << "a new region starts with zeros";
    CloseHandle(fresh);
}

TEST(SharedMappings, AProcessSweepsWhatKilledProcessesLeftUnderOtherNames) {
    const std::string left = uniqueName("left");
    PeerProcess crashed({"hold-mapping", left, "1"});
    ASSERT_EQ(crashed.readLine(), "mapped 0");
    crashed.kill(); // (another test process starting now may sweep it away first)
    const std::string fresh = uniqueName("fresh");
    PeerProcess sweeper({"hold-mapping", fresh, "2"});
    ASSERT_EQ(sweeper.readLine(), "mapped 0");
    EXPECT_FALSE(exists(regionPath("map", left))) << "its first open swept it away";
    sweeper.kill();
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, fresh.c_str()), nullptr);
    EXPECT_FALSE(exists(regionPath("map", fresh))) << "the open reclaimed it";
}

TEST(SharedMutexes, TheNextWaiterGetsAMutexWhoseHolderWasKilledAsAbandoned) {
    const std::string name = uniqueName("mtx");
    PeerProcess peer({"hold-mutex", name});
    ASSERT_EQ(peer.readLine(), "held 0");
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 20), WAIT_TIMEOUT);
    std::thread killer([&peer] { peer.kill(); });
    EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_ABANDONED);
    killer.join();
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "usable again";
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
    EXPECT_FALSE(exists(regionPath("mtx", name)));
}

TEST(SharedMutexes, OwnershipIsPerThreadAndRecursive) {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, uniqueName("own").c_str());
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0) << "the owner takes it again";
    std::thread other([mutex] {
        EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);
        EXPECT_FALSE(ReleaseMutex(mutex));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    });
    other.join();
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

    std::thread quitter([mutex] { WaitForSingleObject(mutex, 0); });
    quitter.join();
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED) << "its owner thread ended";
    EXPECT_TRUE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST(SharedObjects, BadArgumentsFailCleanly) {
    HANDLE mapping = createMapping("", 65536 * 2);
    ASSERT_NE(mapping, nullptr) << "an unnamed mapping";
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 100, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MAPPED_ALIGNMENT));
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 65537), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    void *tail = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 65536, 0);
    ASSERT_NE(tail, nullptr);
    CloseHandle(mapping);
    static_cast<char *>(tail)[65535] = 1; // a view keeps the mapping alive
    EXPECT_TRUE(UnmapViewOfFile(tail));
    EXPECT_FALSE(UnmapViewOfFile(tail));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));

    struct Case {
        HANDLE file;
        DWORD protect, size;
        std::string name;
        DWORD error;
    } cases[] = {
        {nullptr, PAGE_READWRITE, 4096, "x", ERROR_INVALID_HANDLE},
        {INVALID_HANDLE_VALUE, 0x40, 4096, "x", ERROR_INVALID_PARAMETER},
        {INVALID_HANDLE_VALUE, PAGE_READWRITE, 0, uniqueName("empty"), ERROR_INVALID_PARAMETER},
        {INVALID_HANDLE_VALUE, PAGE_READWRITE, 4096, std::string(201, 'n'),
         ERROR_FILENAME_EXCED_RANGE},
        {INVALID_HANDLE_VALUE, PAGE_READWRITE, 4096, std::string(70, '/'),
         ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(CreateFileMappingA(c.file, nullptr, c.protect, 0, c.size, c.name.c_str()),
                  nullptr);
        EXPECT_EQ(GetLastError(), c.error) << c.name;
    }
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, uniqueName("none").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// Mappings and mutexes share one set of names, as on Windows: a name taken by one kind
// cannot make or open the other.
TEST(SharedObjects, ANameTakenByAnotherKindIsRefused) {
    const std::string name = uniqueName("kinds");
    HANDLE mapping = createMapping(name, 4096);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenMutexA(SYNCHRONIZE, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(mapping);
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    ASSERT_NE(mutex, nullptr) << "the name is free again";
    EXPECT_EQ(createMapping(name, 4096), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(mutex);
}

TEST(SharedObjects, APlantedLinkOrForeignFileIsRefusedAndAnotherUserCannotOpenOurs) {
    const std::string link = uniqueName("link");
    ASSERT_EQ(symlink("/etc/passwd", regionPath("map", link).c_str()), 0);
    EXPECT_EQ(createMapping(link), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    unlink(regionPath("map", link).c_str());

    if (geteuid() != 0)
        GTEST_SKIP() << "files of another owner and switching users need root";
    const std::string foreign = uniqueName("foreign");
    const int fd = open(regionPath("mtx", foreign).c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 65536), 0);
    ASSERT_EQ(fchown(fd, 65534, 65534), 0);
    close(fd);
    EXPECT_EQ(CreateMutexA(nullptr, FALSE, foreign.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    unlink(regionPath("mtx", foreign).c_str());

    const std::string ours = uniqueName("ours");
    HANDLE mapping = createMapping(ours);
    ASSERT_NE(mapping, nullptr);
    PeerProcess stranger({"as-user", "65534", "open-file", regionPath("map", ours)});
    EXPECT_EQ(stranger.readLine(), "refused");
    CloseHandle(mapping);
}

} // namespace
