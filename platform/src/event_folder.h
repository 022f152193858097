// The folder that holds the files of a user's named events. It is private to the user:
// $XDG_RUNTIME_DIR/trax when that runtime folder is safe (owned by the user, mode 0700, not a
// symbolic link), else /tmp/trax-<uid>; either is created with mode 0700 and used only while
// it is a real folder owned by the user with mode 0700. Another user can therefore neither
// claim an event's name nor set it nor leave files in the way.
//
// The files live in a subfolder named after the layout of their contents ("layout-<n>", also
// 0700 and checked alike), so that builds of the suite with different layouts, run by the same
// user at the same time, never meet each other's files.
//
// Every look at the folder's files happens under an exclusive lock of the folder, so that a
// file left behind by a crashed owner can be told apart from a live one and removed without
// racing another process that claims the same name. The last process to remove a file also
// removes the folder once it is empty; a process that locks the folder checks that it is still
// the one at the path and otherwise makes and locks it anew.
#ifndef TRAX_PLATFORM_EVENT_FOLDER_H
#define TRAX_PLATFORM_EVENT_FOLDER_H

#include <sys/types.h>

#include <string>

namespace trax::platform {

/// Creates `path` with mode 0700 unless it exists, and opens it. Returns the open folder
/// (close it), or -1 with errno set: EACCES when it is not a folder of `owner` with mode 0700
/// (a symbolic link counts as not a folder), otherwise the error of the system call.
int openPrivateFolder(const std::string &path, uid_t owner);

/// True when `path` may serve as the base of the private folder: an existing folder, not a
/// symbolic link, owned by `owner`, with mode 0700.
bool isSafeBaseFolder(const char *path, uid_t owner);

/// Sets `path` to the event folder of the effective user (the layout folder in the user's
/// folder), created and checked on first use.
/// Returns 0, or an errno value when there is no safe folder (EACCES when the folder belongs
/// to someone else, is open to others or is not a real folder).
int eventFolder(std::string &path);

/// Holds the event folder's exclusive lock for its lifetime.
class FolderLock {
  public:
    explicit FolderLock(const std::string &folder);
    ~FolderLock();
    FolderLock(const FolderLock &) = delete;
    FolderLock &operator=(const FolderLock &) = delete;

    /// False with errno set when the folder could not be opened, checked or locked.
    bool held() const noexcept { return fd_ >= 0; }
    int fd() const noexcept { return fd_; }
    const std::string &folder() const noexcept { return folder_; }

  private:
    std::string folder_;
    int fd_;
};

/// Removes the locked folder if it is empty, and then the user's folder around it if that is
/// empty too; a process that locks the folder later makes both anew.
void removeFolderIfEmpty(const FolderLock &lock);

} // namespace trax::platform

#endif
