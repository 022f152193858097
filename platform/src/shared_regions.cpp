// Named shared memory regions with an attachment list, reclaimed after crashes.
#include "shared_regions.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

#include "errors.h"
#include "process_identity.h"
#include "robust_mutex.h"

namespace trax::platform {

namespace {

constexpr uint64_t kRegionMagic = 0x5452415852474e32ull; // "TRAXRGN2"
constexpr uint64_t kHeaderBytes = 16384;
constexpr char kShmDir[] = "/dev/shm/";
constexpr size_t kMaxEncodedName = 200;
constexpr int kOpenAttempts = 16;
// The kinds of named region (file mappings, mutexes): like the objects of Windows, they
// share one set of names.
constexpr std::string_view kRegionKinds[] = {"map", "mtx"};

// Windows refuses a name that an object of another kind holds, with ERROR_INVALID_HANDLE.
bool nameHeldByOtherKind(std::string_view kind, std::string_view name) {
    for (const std::string_view other : kRegionKinds) {
        struct stat info {};
        if (other != kind && lstat((kShmDir + regionFileName(other, name)).c_str(), &info) == 0)
            return true;
    }
    return false;
}

} // namespace

// The bookkeeping at the start of every region. Everything after magic is guarded by
// lock; magic is written before the region gets its name and never changes after.
struct RegionHeader {
    uint64_t magic;
    uint64_t dataSize;
    pthread_mutex_t lock;
    uint32_t retired; ///< the name is gone: openers must make a new region
    uint32_t attached;
    ProcessIdentity users[1]; ///< really kMaxUsers entries
};

namespace {

constexpr size_t kMaxUsers =
    (kHeaderBytes - offsetof(RegionHeader, users)) / sizeof(ProcessIdentity);

ProcessIdentity *usersOf(RegionHeader *header) {
    return header->users;
}

// Drops the entries of processes that have ended; returns how many are left.
uint32_t pruneEndedUsers(RegionHeader *header) {
    ProcessIdentity *users = usersOf(header);
    uint32_t left = 0;
    for (size_t i = 0; i < kMaxUsers; ++i) {
        if (users[i].pid == 0)
            continue;
        if (isRunning(users[i]))
            ++left;
        else
            users[i] = ProcessIdentity{};
    }
    header->attached = left;
    return left;
}

bool addUser(RegionHeader *header, const ProcessIdentity &self) {
    ProcessIdentity *users = usersOf(header);
    for (size_t i = 0; i < kMaxUsers; ++i) {
        if (users[i].pid == 0) {
            users[i] = self;
            ++header->attached;
            return true;
        }
    }
    return false;
}

// Removes one entry of this process; returns how many entries are left.
uint32_t removeUser(RegionHeader *header, const ProcessIdentity &self) {
    ProcessIdentity *users = usersOf(header);
    for (size_t i = 0; i < kMaxUsers; ++i) {
        if (users[i] == self) {
            users[i] = ProcessIdentity{};
            --header->attached;
            break;
        }
    }
    return header->attached;
}

void retire(RegionHeader *header, const std::string &path) {
    header->retired = 1;
    unlink(path.c_str());
}

// The regions this process holds, by path, so that a name gives one region per process.
struct Registry {
    std::mutex lock;
    std::map<std::string, std::weak_ptr<SharedRegion>> regions;

    // At the end of the process every region still held is left, so that the last process
    // to end removes the name. Memory stays mapped for threads that still run.
    ~Registry() { detachAll(); }

    void detachAll() {
        std::lock_guard guard(lock);
        for (auto &[path, weak] : regions) {
            if (auto region = weak.lock())
                region->detach();
        }
    }
};

Registry &registry() {
    static Registry instance;
    return instance;
}

bool ownedPrivately(int fd) {
    struct stat st {};
    return fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == geteuid() &&
           (st.st_mode & 07777) == 0600;
}

// Maps the whole region; null with the last error set.
RegionHeader *mapRegion(int fd, uint64_t totalBytes) {
    void *base = mmap(nullptr, totalBytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED) {
        failErrno(errno);
        return nullptr;
    }
    return static_cast<RegionHeader *>(base);
}

// A new region under no name, with this process as its one user; null on failure. The
// caller owns the descriptor in fd.
RegionHeader *makeRegion(uint64_t size, const RegionInit &init, int &fd) {
    fd = open(kShmDir, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0 || fchmod(fd, 0600) != 0 ||
        ftruncate(fd, static_cast<off_t>(kHeaderBytes + size)) != 0) {
        failErrno(errno);
        return nullptr;
    }
    RegionHeader *header = mapRegion(fd, kHeaderBytes + size);
    if (header == nullptr)
        return nullptr;
    header->dataSize = size;
    const int rc = initRobustMutex(&header->lock, true);
    if (rc != 0 || !addUser(header, currentProcess()) ||
        (init && !init(reinterpret_cast<char *>(header) + kHeaderBytes))) {
        if (rc != 0)
            failErrno(rc);
        munmap(header, kHeaderBytes + size);
        return nullptr;
    }
    header->magic = kRegionMagic;
    return header;
}

// Gives the new region its name; false with errno EEXIST when another process was
// faster.
bool publish(int fd, const std::string &path) {
    char self[64];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    return linkat(AT_FDCWD, self, AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

enum class Attach { attached, gone, refused };

// Joins an existing region found under the name; gone when it was retired or stale (and
// is retired now), so that the caller makes a new one.
// Maps a region found under a name after checking that it is the user's own and of our
// layout; null with the last error set otherwise.
RegionHeader *mapFound(int fd) {
    struct stat st {};
    if (!ownedPrivately(fd) || fstat(fd, &st) != 0 ||
        static_cast<uint64_t>(st.st_size) < kHeaderBytes) {
        fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    const auto bytes = static_cast<uint64_t>(st.st_size);
    RegionHeader *header = mapRegion(fd, bytes);
    if (header != nullptr &&
        (header->magic != kRegionMagic || header->dataSize != bytes - kHeaderBytes)) {
        munmap(header, bytes);
        fail(ERROR_INVALID_DATA);
        return nullptr;
    }
    return header;
}

// Retires the region if every process attached to it has ended; true if it is (now)
// retired. With the region's lock held.
bool retireIfStale(RegionHeader *header, const std::string &path) {
    if (!header->retired && pruneEndedUsers(header) == 0)
        retire(header, path);
    return header->retired != 0;
}

// Joins an existing region found under the name; gone when it was retired or stale (and
// is retired now), so that the caller makes a new one.
Attach joinRegion(int fd, const std::string &path, RegionHeader *&header) {
    header = mapFound(fd);
    if (header == nullptr)
        return Attach::refused;
    RobustGuard guard(&header->lock);
    if (!guard.held())
        return Attach::refused;
    if (retireIfStale(header, path))
        return Attach::gone;
    if (!addUser(header, currentProcess())) {
        fail(ERROR_TOO_MANY_OPEN_FILES);
        return Attach::refused;
    }
    return Attach::attached;
}

void unmapHeader(RegionHeader *header) {
    if (header != nullptr)
        munmap(header, kHeaderBytes + header->dataSize);
}

// Removes the region under the path if all its processes have ended.
void reclaimIfStale(const std::string &path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return;
    if (RegionHeader *header = mapFound(fd)) {
        {
            RobustGuard guard(&header->lock);
            if (guard.held())
                retireIfStale(header, path);
        }
        unmapHeader(header);
    }
    close(fd);
}

// Once per process, at its first named object: removes what processes of this user that
// were killed left behind under any name, so that nothing stays for long after a crash.
void sweepStaleRegions() {
    static std::once_flag swept;
    std::call_once(swept, [] {
        const std::string prefix = "trax-" + std::to_string(geteuid()) + "-";
        DIR *dir = opendir(kShmDir);
        if (dir == nullptr)
            return;
        while (const dirent *entry = readdir(dir)) {
            if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
                reclaimIfStale(kShmDir + std::string(entry->d_name));
        }
        closedir(dir);
    });
}

// One try at opening or making the named region. Returns the region, or null with
// `again` set when a race with another process calls for another try.
std::shared_ptr<SharedRegion> openOnce(const std::string &path, uint64_t size, bool create,
                                       const RegionInit &init, bool &existed, bool &again) {
    again = false;
    int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    RegionHeader *header = nullptr;
    if (fd >= 0) {
        const Attach result = joinRegion(fd, path, header);
        if (result == Attach::attached) {
            existed = true;
            return std::make_shared<SharedRegion>(fd, header, path);
        }
        again = result == Attach::gone;
    } else if (errno != ENOENT) {
        failErrno(errno == ELOOP ? EACCES : errno);
    } else if (!create) {
        fail(ERROR_FILE_NOT_FOUND);
    } else if ((header = makeRegion(size, init, fd)) != nullptr) {
        if (publish(fd, path)) {
            existed = false;
            return std::make_shared<SharedRegion>(fd, header, path);
        }
        again = errno == EEXIST;
        if (!again)
            failErrno(errno);
    }
    unmapHeader(header);
    if (fd >= 0)
        close(fd);
    return nullptr;
}

std::shared_ptr<SharedRegion> findHeld(Registry &r, const std::string &path) {
    auto it = r.regions.find(path);
    if (it == r.regions.end())
        return nullptr;
    auto region = it->second.lock();
    if (!region)
        r.regions.erase(it);
    return region;
}

bool isPlainNameByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

} // namespace

SharedRegion::~SharedRegion() {
    detach();
    unmapHeader(header_);
    close(fd_);
}

void SharedRegion::detach() noexcept {
    if (detached_ || path_.empty())
        return;
    detached_ = true;
    RobustGuard guard(&header_->lock);
    if (!guard.held())
        return;
    removeUser(header_, currentProcess());
    if (pruneEndedUsers(header_) == 0 && !header_->retired)
        retire(header_, path_);
}

void *SharedRegion::data() const {
    return reinterpret_cast<char *>(header_) + kHeaderBytes;
}

uint64_t SharedRegion::size() const {
    return header_->dataSize;
}

uint64_t SharedRegion::dataOffset() {
    return kHeaderBytes;
}

std::string regionFileName(std::string_view kind, std::string_view name) {
    std::string encoded;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (isPlainNameByte(byte)) {
            encoded += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", byte);
            encoded += hex;
        }
    }
    if (encoded.size() > kMaxEncodedName)
        return {};
    return "trax-" + std::to_string(geteuid()) + "-" + std::string(kind) + "-" + encoded;
}

std::shared_ptr<SharedRegion> openSharedRegion(std::string_view kind, std::string_view name,
                                               uint64_t size, bool create, const RegionInit &init,
                                               bool &existed) {
    const std::string file = regionFileName(kind, name);
    if (file.empty()) {
        fail(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    if (create && (size == 0 || size > kMaxRegionSize)) {
        fail(size == 0 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const std::string path = kShmDir + file;
    sweepStaleRegions();
    Registry &r = registry();
    std::lock_guard guard(r.lock);
    if (auto held = findHeld(r, path)) {
        existed = true;
        return held;
    }
    if (nameHeldByOtherKind(kind, name)) {
        fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        bool again = false;
        auto region = openOnce(path, size, create, init, existed, again);
        if (region) {
            r.regions[path] = region;
            return region;
        }
        if (!again)
            return nullptr;
    }
    fail(ERROR_BUSY);
    return nullptr;
}

std::shared_ptr<SharedRegion> createPrivateRegion(uint64_t size, const RegionInit &init) {
    if (size == 0 || size > kMaxRegionSize) {
        fail(size == 0 ? ERROR_INVALID_PARAMETER : ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    int fd = -1;
    RegionHeader *header = makeRegion(size, init, fd);
    if (header == nullptr) {
        if (fd >= 0)
            close(fd);
        return nullptr;
    }
    return std::make_shared<SharedRegion>(fd, header, std::string());
}

} // namespace trax::platform

void WINAPI TraxReleaseNamedObjects(void) {
    trax::platform::registry().detachAll();
}
