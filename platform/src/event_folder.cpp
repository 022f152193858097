// The private folder of a user's named events and its lock.
#include "event_folder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "event_slots.h"

namespace trax::platform {
namespace {

bool isPrivateTo(const struct stat &status, uid_t owner) {
    return S_ISDIR(status.st_mode) && status.st_uid == owner && (status.st_mode & 07777) == 0700;
}

// The runtime folder's subfolder when the runtime folder is safe, else the per-user folder
// in /tmp: the user's folder, which holds one folder per layout of the files.
std::string chooseUserFolder(uid_t user) {
    const char *runtime = secure_getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && isSafeBaseFolder(runtime, user))
        return std::string(runtime) + "/trax";
    return "/tmp/trax-" + std::to_string(user);
}

// The checked folder of the user who last asked; a process that changes its user gets the
// folder of the new one.
struct FolderCache {
    std::mutex lock;
    bool known = false;
    uid_t user = 0;
    std::string path;
};

FolderCache &folderCache() {
    static FolderCache *const instance = new FolderCache;
    return *instance;
}

// Times a lock is tried again when the folder was removed between its opening and its
// locking; each try makes the folder anew, so a second one nearly always succeeds.
constexpr int kLockTries = 8;

// True if the path still names the open folder.
bool isStillAt(int fd, const std::string &path) {
    struct stat opened, named;
    return fstat(fd, &opened) == 0 && lstat(path.c_str(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

// The user's folder that holds the layout folder.
std::string parentOf(const std::string &folder) {
    return folder.substr(0, folder.rfind('/'));
}

// Opens the layout folder, creating it and the user's folder around it as needed; -1 with
// errno set on failure. The last user of both removes them, so the user's folder may go
// between its making and the layout folder's: then both are made again.
int openLayoutFolder(const std::string &folder) {
    for (int attempt = 0; attempt < kLockTries; ++attempt) {
        const int parent = openPrivateFolder(parentOf(folder), geteuid());
        if (parent < 0)
            return -1;
        close(parent);
        const int fd = openPrivateFolder(folder, geteuid());
        if (fd >= 0 || errno != ENOENT)
            return fd;
    }
    return -1;
}

// Opens and locks the folder; -1 with errno set on failure.
int lockFolder(const std::string &folder) {
    for (int attempt = 0; attempt < kLockTries; ++attempt) {
        const int fd = openLayoutFolder(folder);
        if (fd < 0)
            return -1;
        int result;
        while ((result = flock(fd, LOCK_EX)) != 0 && errno == EINTR)
            ;
        if (result == 0 && isStillAt(fd, folder))
            return fd;
        const int error = result != 0 ? errno : EAGAIN;
        close(fd);
        if (result != 0) {
            errno = error;
            return -1;
        }
    }
    errno = EAGAIN;
    return -1;
}

} // namespace

int openPrivateFolder(const std::string &path, uid_t owner) {
    const bool created = mkdir(path.c_str(), 0700) == 0;
    if (!created && errno != EEXIST)
        return -1;
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ELOOP || errno == ENOTDIR)
            errno = EACCES;
        return -1;
    }
    // A restrictive umask may have taken bits away from a folder made just now.
    if (created)
        fchmod(fd, 0700);
    struct stat status;
    if (fstat(fd, &status) != 0 || !isPrivateTo(status, owner)) {
        close(fd);
        errno = EACCES;
        return -1;
    }
    return fd;
}

bool isSafeBaseFolder(const char *path, uid_t owner) {
    struct stat status;
    return lstat(path, &status) == 0 && isPrivateTo(status, owner);
}

int eventFolder(std::string &path) {
    const uid_t user = geteuid();
    FolderCache &cache = folderCache();
    std::lock_guard guard(cache.lock);
    if (!cache.known || cache.user != user) {
        std::string folder = chooseUserFolder(user) + "/" + kEventLayoutFolder;
        const int fd = openLayoutFolder(folder);
        if (fd < 0)
            return errno;
        close(fd);
        cache.path = std::move(folder);
        cache.user = user;
        cache.known = true;
    }
    path = cache.path;
    return 0;
}

// The folder is opened anew for each lock: a descriptor shared with a forked child would
// share its lock too, and then exclude nobody.
FolderLock::FolderLock(const std::string &folder) : folder_(folder), fd_(lockFolder(folder)) {}

FolderLock::~FolderLock() {
    if (fd_ >= 0)
        close(fd_); // releases the lock
}

// The user's folder stays while the files of another layout are in it.
void removeFolderIfEmpty(const FolderLock &lock) {
    if (lock.held() && rmdir(lock.folder().c_str()) == 0)
        rmdir(parentOf(lock.folder()).c_str());
}

} // namespace trax::platform
