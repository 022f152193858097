/* The files of named events in the user's locked event folder.
 *
 * An event's file is a regular file of the user with mode 0600 and the size of one page,
 * holding a SharedEventState. The process that receives the event's wake-ups (its owner)
 * holds an exclusive flock on the file for as long as it owns it, so the lock dies with the
 * owner: a file nobody holds locked is left over by a crashed owner. Every step here runs
 * under the folder lock (see FolderLock), which orders the probes of the lock against the
 * claims of a name. */
#ifndef TRAX_PLATFORM_EVENT_FILE_H
#define TRAX_PLATFORM_EVENT_FILE_H

#include <memory>
#include <string>

#include "event_folder.h"
#include "event_slots.h"

namespace trax::platform {

/// An event's file, open and mapped; both are released with the object.
class EventFile {
  public:
    EventFile(int fd, SharedEventState *state) noexcept : fd_(fd), state_(state) {}
    ~EventFile();
    EventFile(const EventFile &) = delete;
    EventFile &operator=(const EventFile &) = delete;

    SharedEventState &state() const noexcept { return *state_; }
    int fd() const noexcept { return fd_; }

  private:
    int fd_;
    SharedEventState *state_;
};

/// Claims the name for this process: reuses nothing of a crashed owner (its file is retired
/// and a fresh one made). Sets `file` to the event's file and `owner` to whether this process
/// now owns it (false: a live owner holds it). Returns 0 or an errno value; EACCES when the
/// name's entry belongs to another user or cannot be an event file.
int claimEventName(const FolderLock &lock, const std::string &fileName,
                   std::shared_ptr<EventFile> &file,
                   bool &owner);

/// Sets `file` to the event's file when a live owner holds it, else to null (a file left
/// behind by a crashed owner is retired on the way). Returns 0 or an errno value.
int findLiveEvent(const FolderLock &lock, const std::string &fileName,
                  std::shared_ptr<EventFile> &file);

/// True while the file's owner lives.
bool hasLiveOwner(const FolderLock &lock, const EventFile &file);

/// Marks the file retired, wakes whoever sleeps on it so that they look the name up again,
/// and removes it from the folder if its file name still refers to it.
void retireEventFile(const FolderLock &lock, const std::string &fileName, const EventFile &file);

/// Retires the files of crashed owners in the locked folder (once per process; later calls
/// return at once), so that they cannot pile up.
void sweepStaleEvents(const FolderLock &lock);

} // namespace trax::platform

#endif
