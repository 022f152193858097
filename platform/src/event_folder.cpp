// The private folder of a user's named events, its lock, and the removal of socket files that
// crashed owners left behind.
#include "event_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "event_wire.h"

namespace trax::platform {
namespace {

bool isPrivateTo(const struct stat &status, uid_t owner) {
    return S_ISDIR(status.st_mode) && status.st_uid == owner && (status.st_mode & 07777) == 0700;
}

// The runtime folder's subfolder when the runtime folder is safe and leaves room for every
// socket address, else the per-user folder in /tmp.
std::string chooseFolder(uid_t user) {
    const char *runtime = secure_getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && isSafeBaseFolder(runtime, user)) {
        std::string folder = std::string(runtime) + "/trax";
        if (folder.size() + 1 + kMaxHashedFileName < sizeof(sockaddr_un::sun_path))
            return folder;
    }
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

bool isEventFile(const char *name) {
    return std::strncmp(name, "evt-", 4) == 0 || std::strncmp(name, "evh-", 4) == 0;
}

bool isSocketEntry(int folder, const dirent &entry) {
    if (entry.d_type != DT_UNKNOWN)
        return entry.d_type == DT_SOCK;
    struct stat status;
    return fstatat(folder, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISSOCK(status.st_mode);
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
        std::string folder = chooseFolder(user);
        const int fd = openPrivateFolder(folder, user);
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

bool isStaleSocket(const sockaddr_un &address, socklen_t length) {
    const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    const bool refused =
        connect(probe, reinterpret_cast<const sockaddr *>(&address), length) != 0 &&
        errno == ECONNREFUSED;
    close(probe);
    return refused;
}

// The folder is opened anew for each lock: a descriptor shared with a forked child would
// share its lock too, and then exclude nobody.
FolderLock::FolderLock(const std::string &folder)
    : folder_(folder), fd_(openPrivateFolder(folder, geteuid())) {
    if (fd_ < 0)
        return;
    int result;
    while ((result = flock(fd_, LOCK_EX)) != 0 && errno == EINTR)
        ;
    if (result != 0) {
        const int error = errno;
        close(fd_);
        fd_ = -1;
        errno = error;
    }
}

FolderLock::~FolderLock() {
    if (fd_ >= 0)
        close(fd_); // releases the lock
}

void sweepStaleSockets(const FolderLock &lock) {
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
        if (!isEventFile(entry->d_name) || !isSocketEntry(lock.fd(), *entry))
            continue;
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const int length = std::snprintf(address.sun_path, sizeof address.sun_path, "%s/%s",
                                         lock.folder().c_str(), entry->d_name);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof address.sun_path)
            continue;
        const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) +
                                                 static_cast<size_t>(length) + 1);
        if (isStaleSocket(address, size))
            unlinkat(lock.fd(), entry->d_name, 0);
    }
    closedir(dir);
}

} // namespace trax::platform
