/* Opening, checking, making and retiring the files of named events. */
#include "event_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <new>

namespace trax::platform {
namespace {

bool isEventFileName(const char *name) {
    return std::strncmp(name, "evt-", 4) == 0 || std::strncmp(name, "evh-", 4) == 0;
}

bool isWellFormed(const struct stat &status) {
    return S_ISREG(status.st_mode) && (status.st_mode & 07777) == 0600 &&
           status.st_size == static_cast<off_t>(kEventFileSize);
}

/* Maps an open, checked file; null (with the descriptor closed) when it cannot be mapped. */
std::shared_ptr<EventFile> mapEventFile(int fd) {
    void *view = mmap(nullptr, kEventFileSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (view == MAP_FAILED) {
        const int error = errno;
        close(fd);
        errno = error;
        return nullptr;
    }
    try {
        return std::make_shared<EventFile>(fd, static_cast<SharedEventState *>(view));
    } catch (const std::bad_alloc &) {
        munmap(view, kEventFileSize);
        close(fd);
        throw;
    }
}

/* True while some open file description holds the file's flock, which only its owner
 * takes. The probe runs under the folder lock, so no claim can meet it half-way. */
bool isLockedByOwner(int fd) {
    if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
        flock(fd, LOCK_UN);
        return false;
    }
    return errno == EWOULDBLOCK;
}

/* Opens and maps the entry of a name. Returns 0 with `file` set, ENOENT when there is no
 * usable file (an entry of this user that cannot be a live event, such as the half-made file
 * of a creator that crashed, is removed on the way), or EACCES for an entry of another
 * user. */
int openEventFile(const FolderLock &lock, const std::string &fileName,
                  std::shared_ptr<EventFile> &file) {
    const int fd = openat(lock.fd(), fileName.c_str(),
                          O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0) {
        const int error = errno;
        if (fd >= 0)
            close(fd);
        if (error == ENOENT)
            return ENOENT;
        /* Not a file that can be opened: a link, socket or folder; ours is junk to remove. */
        if (fstatat(lock.fd(), fileName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return errno;
        if (status.st_uid != geteuid())
            return EACCES;
        unlinkat(lock.fd(), fileName.c_str(), S_ISDIR(status.st_mode) ? AT_REMOVEDIR : 0);
        return ENOENT;
    }
    if (status.st_uid != geteuid()) {
        close(fd);
        return EACCES;
    }
    if (!isWellFormed(status)) {
        close(fd);
        unlinkat(lock.fd(), fileName.c_str(), 0);
        return ENOENT;
    }
    std::shared_ptr<EventFile> mapped = mapEventFile(fd);
    if (!mapped)
        return errno;
    if (mapped->state().magic.load() != kEventMagic) {
        unlinkat(lock.fd(), fileName.c_str(), 0);
        return ENOENT;
    }
    file = std::move(mapped);
    return 0;
}

/* Makes a new file for the name, owned (locked) by this process. */
int createEventFile(const FolderLock &lock, const std::string &fileName,
                    std::shared_ptr<EventFile> &file) {
    const int fd = openat(lock.fd(), fileName.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return errno;
    /* A restrictive umask may have taken bits away from the file. */
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fchmod(fd, 0600) != 0 ||
        ftruncate(fd, static_cast<off_t>(kEventFileSize)) != 0) {
        const int error = errno;
        unlinkat(lock.fd(), fileName.c_str(), 0);
        close(fd);
        return error;
    }
    std::shared_ptr<EventFile> mapped;
    try {
        mapped = mapEventFile(fd);
    } catch (const std::bad_alloc &) {
        unlinkat(lock.fd(), fileName.c_str(), 0);
        throw;
    }
    if (!mapped) {
        const int error = errno;
        unlinkat(lock.fd(), fileName.c_str(), 0);
        return error;
    }
    mapped->state().magic.store(kEventMagic);
    file = std::move(mapped);
    return 0;
}

} // namespace

EventFile::~EventFile() {
    munmap(state_, kEventFileSize);
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
    if (error == ENOENT) {
        file.reset();
        return 0;
    }
    if (error != 0)
        return error;
    if (hasLiveOwner(lock, *found)) {
        file = std::move(found);
        return 0;
    }
    retireEventFile(lock, fileName, *found);
    file.reset();
    return 0;
}

bool hasLiveOwner(const FolderLock &, const EventFile &file) {
    return isLockedByOwner(file.fd());
}

void retireEventFile(const FolderLock &lock, const std::string &fileName, const EventFile &file) {
    SharedEventState &state = file.state();
    state.retired.store(1);
    announceChange(state.departures, true);
    announceChange(state.arrivals, true);
    struct stat mine, named;
    if (fstat(file.fd(), &mine) == 0 &&
        fstatat(lock.fd(), fileName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
        unlinkat(lock.fd(), fileName.c_str(), 0);
}

void sweepStaleEvents(const FolderLock &lock) {
    static std::atomic<bool> swept{false};
    if (!lock.held() || swept.exchange(true))
        return;
    const int listing = dup(lock.fd());
    DIR *dir = listing >= 0 ? fdopendir(listing) : nullptr;
    if (dir == nullptr) {
        if (listing >= 0)
            close(listing);
        return;
    }
    while (const dirent *entry = readdir(dir)) {
        if (!isEventFileName(entry->d_name))
            continue;
        std::shared_ptr<EventFile> live;
        findLiveEvent(lock, entry->d_name, live);
    }
    closedir(dir);
}

} // namespace trax::platform
