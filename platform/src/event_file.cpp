// Opening, checking, making and retiring the files of named events and the doorbells.
#include "event_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <bitset>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace trax::platform {
namespace {

bool hasPrefix(const char *name, const char *prefix) {
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

bool isEventFileName(const char *name) {
    return hasPrefix(name, "evt-") || hasPrefix(name, "evh-");
}

std::string bellFileName(uint64_t id) {
    char name[24];
    std::snprintf(name, sizeof name, "evb-%016" PRIx64, id);
    return name;
}

bool isWellFormed(const struct stat &status) {
    return S_ISREG(status.st_mode) && (status.st_mode & 07777) == 0600 &&
           status.st_size == static_cast<off_t>(kEventFileSize);
}

// Maps an open, checked file; null (with the descriptor closed and errno set) when it cannot
// be mapped.
std::unique_ptr<MappedFile> mapFile(int fd) {
    void *view = mmap(nullptr, kEventFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        const int error = errno;
        close(fd);
        errno = error;
        return nullptr;
    }
    try {
        return std::make_unique<MappedFile>(fd, view);
    } catch (const std::bad_alloc &) {
        munmap(view, kEventFileSize);
        close(fd);
        throw;
    }
}

// True while some open file description holds the file's flock, which only its owner
// takes. The probe runs under the folder lock, so no claim can meet it half-way.
bool isLockedByOwner(int fd) {
    if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
        flock(fd, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

// Removes a file of this user that this process cannot use, such as the half-made file of a
// creator that crashed: ENOENT. A file that a live process holds locked is never removed,
// whatever it holds: EBUSY.
int removeUnlessHeld(const FolderLock &lock, const std::string &fileName, int fd) {
    if (isLockedByOwner(fd))
        return EBUSY;
    unlinkat(lock.fd(), fileName.c_str(), 0);
    return ENOENT;
}

// Opens and maps a file of the folder whose first word is `magic`. Returns 0 with `file`
// set, ENOENT when there is no usable file (an entry of this user that cannot be a live one
// is removed on the way), EBUSY for a file of another kind that a live process holds, or
// EACCES for an entry of another user.
int openFolderFile(const FolderLock &lock, const std::string &fileName, uint32_t magic,
                   std::unique_ptr<MappedFile> &file) {
    const int fd = openat(lock.fd(), fileName.c_str(),
                          O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat status;
    if (fd < 0) {
        if (errno == ENOENT)
            return ENOENT;
        // Not a file that can be opened: a link, socket or folder; ours is junk to remove.
        if (fstatat(lock.fd(), fileName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return errno;
        if (status.st_uid != geteuid())
            return EACCES;
        unlinkat(lock.fd(), fileName.c_str(), S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0);
        return ENOENT;
    }
    if (fstat(fd, &status) != 0 || status.st_uid != geteuid()) {
        close(fd);
        return EACCES;
    }
    if (!isWellFormed(status)) {
        const int error = removeUnlessHeld(lock, fileName, fd);
        close(fd);
        return error;
    }
    std::unique_ptr<MappedFile> mapped = mapFile(fd);
    if (!mapped)
        return errno;
    if (static_cast<std::atomic<uint32_t> *>(mapped->view())->load() != magic)
        return removeUnlessHeld(lock, fileName, mapped->fd());
    file = std::move(mapped);
    return 0;
}

// Makes a new file of the folder, locked by this process, with `magic` in its first word.
int createFolderFile(const FolderLock &lock, const std::string &fileName, uint32_t magic,
                     std::unique_ptr<MappedFile> &file) {
    const int fd = openat(lock.fd(), fileName.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    std::unique_ptr<MappedFile> mapped;
    // fchmod: a restrictive umask may have taken bits away from the file.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fchmod(fd, 0600) != 0 ||
        ftruncate(fd, static_cast<off_t>(kEventFileSize)) != 0) {
        const int error = errno;
        close(fd);
        unlinkat(lock.fd(), fileName.c_str(), 0);
        return error;
    }
    try {
        mapped = mapFile(fd);
    } catch (const std::bad_alloc &) {
        unlinkat(lock.fd(), fileName.c_str(), 0);
        throw;
    }
    if (!mapped) {
        const int error = errno;
        unlinkat(lock.fd(), fileName.c_str(), 0);
        return error;
    }
    static_cast<std::atomic<uint32_t> *>(mapped->view())->store(magic);
    file = std::move(mapped);
    return 0;
}

// True while the folder's entry is the open file.
bool isSameFile(const FolderLock &lock, const std::string &fileName, int fd) {
    struct stat mine, named;
    return fstat(fd, &mine) == 0 &&
           fstatat(lock.fd(), fileName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}

// Removes the folder's entry if it is still the open file.
void unlinkIfSame(const FolderLock &lock, const std::string &fileName, int fd) {
    if (isSameFile(lock, fileName, fd))
        unlinkat(lock.fd(), fileName.c_str(), 0);
}

// The doorbells of other processes mapped here, by id: the events of one owner share one
// mapping, so that a sender to many of them holds one descriptor for the doorbell rather
// than one per event. An entry lives as long as an event uses it.
struct PeerBells {
    std::mutex lock;
    std::vector<std::pair<uint64_t, std::weak_ptr<MappedFile>>> mapped;
};

PeerBells &peerBells() {
    static PeerBells *const instance = new PeerBells;
    return *instance;
}

// Sets `bell` to the doorbell `id`: the mapping an event of its owner uses already while its
// file is still the folder's (an owner that has gone took its file along), else a new one.
// Returns 0, ENOENT when the doorbell has gone, or an errno value.
int usePeerBell(const FolderLock &lock, uint64_t id, std::shared_ptr<MappedFile> &bell) {
    const std::string fileName = bellFileName(id);
    PeerBells &peers = peerBells();
    std::lock_guard guard(peers.lock);
    // The mapping found is held while it is checked, so that it cannot go meanwhile.
    std::shared_ptr<MappedFile> reused;
    std::erase_if(peers.mapped, [&](const auto &entry) {
        std::shared_ptr<MappedFile> live = entry.second.lock();
        if (!live || (entry.first == id && !isSameFile(lock, fileName, live->fd())))
            return true;
        if (entry.first == id)
            reused = std::move(live);
        return false;
    });
    if (reused) {
        bell = std::move(reused);
        return 0;
    }
    std::unique_ptr<MappedFile> opened;
    if (const int error = openFolderFile(lock, fileName, kBellMagic, opened); error != 0)
        return error;
    std::shared_ptr<MappedFile> shared(std::move(opened));
    peers.mapped.emplace_back(id, shared);
    bell = std::move(shared);
    return 0;
}

// This process's doorbell, and which of its pending flags its events use; a forked child
// makes its own.
struct OwnBell {
    std::mutex lock;
    pid_t pid = 0;
    uint64_t id = 0;
    std::shared_ptr<MappedFile> file;
    std::bitset<kBellMarks> marks;
};

OwnBell &ownBell() {
    static OwnBell *const instance = new OwnBell;
    return *instance;
}

// Sets `file` and `id` to this process's doorbell, made on first use.
int useOwnBell(const FolderLock &lock, std::shared_ptr<MappedFile> &file, uint64_t &id) {
    OwnBell &own = ownBell();
    std::lock_guard guard(own.lock);
    if (own.pid != getpid() || !own.file) {
        uint64_t fresh = 0;
        if (getrandom(&fresh, sizeof fresh, 0) != static_cast<ssize_t>(sizeof fresh))
            return errno;
        std::unique_ptr<MappedFile> made;
        if (const int error = createFolderFile(lock, bellFileName(fresh), kBellMagic, made);
            error != 0)
            return error;
        own.file = std::move(made);
        own.id = fresh;
        own.pid = getpid();
        own.marks.reset();
    }
    file = own.file;
    id = own.id;
    return 0;
}

// A pending flag of this process's doorbell that no event of it uses, taken; kNoMark when
// every flag is in use.
uint32_t takeOwnMark() {
    OwnBell &own = ownBell();
    std::lock_guard guard(own.lock);
    for (uint32_t mark = 0; mark < kBellMarks; ++mark) {
        if (!own.marks.test(mark)) {
            own.marks.set(mark);
            return mark;
        }
    }
    return kNoMark;
}

// Opens and maps an event's file with its owner's doorbell (none when that has gone). A
// doorbell that exists but cannot be opened (no descriptor left, say) fails the open: a
// sender without it would publish wake-ups that never wake the owner.
int openEventFile(const FolderLock &lock, const std::string &fileName,
                  std::shared_ptr<EventFile> &file) {
    std::unique_ptr<MappedFile> mapped;
    if (const int error = openFolderFile(lock, fileName, kEventMagic, mapped); error != 0)
        return error;
    const uint64_t id = static_cast<SharedEventState *>(mapped->view())->bell.load();
    std::shared_ptr<MappedFile> bell;
    if (const int error = usePeerBell(lock, id, bell); error != 0 && error != ENOENT)
        return error;
    file = std::make_shared<EventFile>(std::move(mapped), std::move(bell));
    return 0;
}

// Makes a new file for the name, owned (locked) by this process.
int createEventFile(const FolderLock &lock, const std::string &fileName,
                    std::shared_ptr<EventFile> &file) {
    std::shared_ptr<MappedFile> bell;
    uint64_t id = 0;
    if (const int error = useOwnBell(lock, bell, id); error != 0)
        return error;
    std::unique_ptr<MappedFile> mapped;
    if (const int error = createFolderFile(lock, fileName, kEventMagic, mapped); error != 0)
        return error;
    SharedEventState &state = *static_cast<SharedEventState *>(mapped->view());
    state.bell.store(id);
    state.mark.store(takeOwnMark());
    try {
        file = std::make_shared<EventFile>(std::move(mapped), std::move(bell));
    } catch (const std::bad_alloc &) {
        releaseOwnMark(state.mark.load());
        throw;
    }
    return 0;
}

} // namespace

MappedFile::~MappedFile() {
    munmap(view_, kEventFileSize);
    close(fd_); // releases the owner's lock
}

int claimEventName(const FolderLock &lock, const std::string &fileName,
                   std::shared_ptr<EventFile> &file, bool &owner) {
    std::shared_ptr<EventFile> existing;
    if (const int error = findLiveEvent(lock, fileName, existing); error != 0)
        return error;
    if (existing) {
        file = std::move(existing);
        owner = false;
        return 0;
    }
    const int error = createEventFile(lock, fileName, file);
    owner = error == 0;
    return error;
}

int findLiveEvent(const FolderLock &lock, const std::string &fileName,
                  std::shared_ptr<EventFile> &file) {
    std::shared_ptr<EventFile> found;
    const int error = openEventFile(lock, fileName, found);
    file.reset();
    if (error == ENOENT)
        return 0;
    if (error != 0)
        return error;
    if (hasLiveOwner(lock, *found))
        file = std::move(found);
    else
        retireEventFile(lock, fileName, *found);
    return 0;
}

bool hasLiveOwner(const FolderLock &, const EventFile &file) {
    return isLockedByOwner(file.fd());
}

void retireEventFile(const FolderLock &lock, const std::string &fileName, const EventFile &file) {
    SharedEventState &state = file.state();
    state.retired.store(1);
    announceChange(state.departures, true);
    if (SharedBell *bell = file.bell())
        ringLanes(state, *bell);
    unlinkIfSame(lock, fileName, file.fd());
}

void releaseOwnMark(uint32_t mark) {
    OwnBell &own = ownBell();
    std::lock_guard guard(own.lock);
    if (mark < kBellMarks)
        own.marks.reset(mark);
}

void removeOwnBell(const FolderLock &lock) {
    OwnBell &own = ownBell();
    std::lock_guard guard(own.lock);
    if (own.file && own.pid == getpid())
        unlinkIfSame(lock, bellFileName(own.id), own.file->fd());
}

void sweepStaleEvents(const FolderLock &lock) {
    static std::atomic<bool> swept{false};
    if (!lock.held() || swept.exchange(true))
        return;
    // The listing shares the folder's open file, and with it the lock: it must be closed
    // on every path, also when an allocation fails on the way.
    const int listing = dup(lock.fd());
    std::unique_ptr<DIR, int (*)(DIR *)> dir(listing >= 0 ? fdopendir(listing) : nullptr, closedir);
    if (!dir) {
        if (listing >= 0)
            close(listing);
        return;
    }
    while (const dirent *entry = readdir(dir.get())) {
        if (isEventFileName(entry->d_name)) {
            std::shared_ptr<EventFile> live;
            findLiveEvent(lock, entry->d_name, live);
        } else if (hasPrefix(entry->d_name, "evb-")) {
            std::unique_ptr<MappedFile> bell;
            if (openFolderFile(lock, entry->d_name, kBellMagic, bell) == 0 &&
                !isLockedByOwner(bell->fd()))
                unlinkat(lock.fd(), entry->d_name, 0);
        }
    }
}

} // namespace trax::platform
