// The files of named events in the user's locked event folder.
//
// An event's file is a regular file of the user with mode 0600 and the size of one page,
// holding a SharedEventState; so is the doorbell file ("evb-<id>") that a process makes with
// its first event. The process that receives the event's wake-ups (its owner) holds an
// exclusive flock on both files for as long as it owns them, so the lock dies with the
// owner: a file nobody holds locked is left over by a crashed owner. Every step here runs
// under the folder lock (see FolderLock), which orders the probes of the lock against the
// claims of a name.
#ifndef TRAX_PLATFORM_EVENT_FILE_H
#define TRAX_PLATFORM_EVENT_FILE_H

#include <memory>
#include <string>

#include "event_folder.h"
#include "event_slots.h"

namespace trax::platform {

/// A file of the event folder, open and mapped; both are released with the object.
class MappedFile {
  public:
    MappedFile(int fd, void *view) noexcept : fd_(fd), view_(view) {}
    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    int fd() const noexcept { return fd_; }
    void *view() const noexcept { return view_; }

  private:
    int fd_;
    void *view_;
};

/// An event's file, with the doorbell file of its owner (null when the owner's doorbell has
/// gone: the owner itself has then gone too).
class EventFile {
  public:
    EventFile(std::unique_ptr<MappedFile> file, std::shared_ptr<MappedFile> bell) noexcept
        : file_(std::move(file)), bell_(std::move(bell)), mark_(state().mark.load()) {}

    SharedEventState &state() const noexcept {
        return *static_cast<SharedEventState *>(file_->view());
    }
    SharedBell *bell() const noexcept {
        return bell_ ? static_cast<SharedBell *>(bell_->view()) : nullptr;
    }
    int fd() const noexcept { return file_->fd(); }
    /// The event's pending flag in its owner's doorbell, fixed when the file is made.
    uint32_t mark() const noexcept { return mark_; }

  private:
    std::unique_ptr<MappedFile> file_;
    std::shared_ptr<MappedFile> bell_;
    uint32_t mark_;
};

/// Claims the name for this process: reuses nothing of a crashed owner (its file is retired
/// and a fresh one made, which names this process's doorbell). Sets `file` to the event's file and
/// `owner` to whether this process now owns it (false: a live owner holds it). Returns 0 or an
/// errno value; EACCES when the name's entry belongs to another user or cannot be an event file.
int claimEventName(const FolderLock &lock, const std::string &fileName,
                   std::shared_ptr<EventFile> &file, bool &owner);

/// Sets `file` to the event's file when a live owner holds it, else to null (a file left
/// behind by a crashed owner is retired on the way). Returns 0 or an errno value.
int findLiveEvent(const FolderLock &lock, const std::string &fileName,
                  std::shared_ptr<EventFile> &file);

/// True while the file's owner lives.
bool hasLiveOwner(const FolderLock &lock, const EventFile &file);

/// Marks the file retired, wakes whoever sleeps on it so that they look the name up again,
/// and removes it from the folder if its file name still refers to it.
void retireEventFile(const FolderLock &lock, const std::string &fileName, const EventFile &file);

/// Gives the pending flag of an event this process made and has retired back for reuse.
void releaseOwnMark(uint32_t mark);

/// Removes this process's doorbell file, made with its first event (at exit: its events are
/// retired by then, and its waits are over).
void removeOwnBell(const FolderLock &lock);

/// Retires the files of crashed owners in the locked folder (once per process; later calls
/// return at once), so that they cannot pile up.
void sweepStaleEvents(const FolderLock &lock);

} // namespace trax::platform

#endif
