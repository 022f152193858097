// Named events across processes.
//
// A named event is a file in the user's private event folder, mapped by every process that
// uses the name (see event_file.h and event_slots.h). The first process to create a name
// makes its file and owns the event: it receives the wake-ups. A process that finds the name
// held by a live owner holds an "opener": its SetEvent publishes into the owner's file, but it
// does not receive. Each wait on an opener tries to claim the name again, so an opener takes
// the event over once the owner has gone (waits that find the owner still there only time
// out). Every SetEvent publishes one wake-up (also from the owner to itself) and each
// successful wait takes one, oldest first, so repeated signals are never merged.
//
// The owner retires and removes its file when it closes the event or the process exits; a
// sender whose mapped file is retired looks the name up again, so it reaches the next owner.
// The file of an owner that crashed is retired by the next process that claims the name or
// sets it with no room left, or by the sweep that each process makes of the folder when it
// first creates a name.
//
// Within one process a name always maps to one object: creating it again returns a new
// handle to the same event.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "event_file.h"
#include "event_wire.h"
#include "events.h"

namespace trax::platform {
namespace {

// How long SetEvent waits for a free slot when the owner takes nothing.
constexpr DWORD kFullQueueWaitMs = 1000;

// The lane of the doorbell the calling thread waits on (kBellLanes: none yet). The library
// is loaded with the program, so the variable can sit in static thread storage, which a wait
// on many events reads once per event without a look-up.
constinit thread_local size_t threadLane __attribute__((tls_model("initial-exec"))) = kBellLanes;

// The lane of the doorbell the calling thread waits on; threads take the lanes in turn.
size_t laneOfThisThread() {
    static std::atomic<size_t> next{0};
    if (threadLane == kBellLanes)
        threadLane = next.fetch_add(1) % kBellLanes;
    return threadLane;
}

class NamedEvent final : public EventObject {
  public:
    NamedEvent(std::string name, std::string folder, std::shared_ptr<EventFile> file,
               bool owner) noexcept
        : name_(std::move(name)), folder_(std::move(folder)), fileName_(eventFileName(name_)),
          file_(std::move(file)), owner_(owner), owned_(owner ? file_.get() : nullptr),
          maker_(owner ? getpid() : 0) {}
    ~NamedEvent() override;

    BOOL set() override;
    void prepareWait() override { claimName(); }

    BOOL reset() override {
        if (EventFile *owned = owned_.load())
            dropWakeups(owned->state());
        return TRUE;
    }

    // The calling thread's lane of this process's doorbell, which every set of the event
    // rings from now on. The lanes already entered in the file are remembered here, so that
    // a wait on many events does not read every event's file for them.
    EventChannel channel() override {
        EventFile *owned = owned_.load();
        SharedBell *bell = owned ? owned->bell() : nullptr;
        if (bell == nullptr)
            return EventChannel{};
        const size_t lane = laneOfThisThread();
        const uint32_t bit = 1u << lane;
        if ((joinedLanes_.load(std::memory_order_acquire) & bit) == 0) {
            joinLane(owned->state(), *bell, lane);
            joinedLanes_.fetch_or(bit, std::memory_order_release);
        }
        return EventChannel{&bell->lanes[lane].channel, true, pendingFlag(*bell, owned->mark())};
    }

    std::optional<PendingWakeup> pending() override {
        EventFile *owned = owned_.load();
        return owned ? oldestWakeup(owned->state()) : std::nullopt;
    }

    bool take(const PendingWakeup &wakeup) override {
        EventFile *owned = owned_.load();
        return owned != nullptr &&
               takeFlaggedWakeup(owned->state(), *owned->bell(), owned->mark(), wakeup);
    }

    bool isOwner() const noexcept { return owner_; }

    /// Claims the name unless a live owner holds it; true when this event owns it.
    bool claimName();

    /// Retires and removes the file if this process owns the name, so that it is not left
    /// behind; the first call does it, later ones return at once.
    void releaseName() noexcept;

  private:
    // The file a set goes to: the own one, the owner's, or null when nobody owns the name.
    int setTarget(std::shared_ptr<EventFile> &target);
    // After a set found no free slot: false when the owner has gone (its file is retired).
    bool ownerLives(const std::shared_ptr<EventFile> &target);

    std::string name_;
    std::string folder_;
    std::string fileName_;
    // The event's file as last looked up; fixed once this event owns the name. Guarded by
    // lock_ while this event is an opener.
    std::shared_ptr<EventFile> file_;
    std::atomic<bool> owner_;
    // The file while this event owns it, for the waits and the owner's sets, which then need
    // no lock; it lives as long as the event.
    std::atomic<EventFile *> owned_;
    // The process that made the file: a forked child must not remove its parent's file.
    std::atomic<pid_t> maker_;
    std::atomic<bool> released_{false};
    // The lanes this process has entered in its own file (bits are never taken out).
    std::atomic<uint32_t> joinedLanes_{0};
    std::mutex lock_;
};

// The named events alive in this process, by name.
struct NameRegistry {
    std::mutex lock;
    std::condition_variable released;
    std::unordered_map<std::string, std::weak_ptr<NamedEvent>> events;
};

NameRegistry &registry() {
    static NameRegistry *const instance = new NameRegistry;
    return *instance;
}

// At exit the handles of a process are never closed, so its files are removed here, and its
// doorbell with the folder when that is left empty. The
// events are released outside the registry lock, since the last reference to one may be
// dropped here and its destructor takes that lock.
void releaseNamesAtExit() {
    std::vector<std::shared_ptr<NamedEvent>> live;
    {
        NameRegistry &r = registry();
        std::lock_guard guard(r.lock);
        for (auto &entry : r.events) {
            if (auto event = entry.second.lock())
                live.push_back(std::move(event));
        }
    }
    for (const auto &event : live)
        event->releaseName();
    std::string folder;
    if (eventFolder(folder) != 0)
        return;
    FolderLock lock(folder);
    if (!lock.held())
        return;
    removeOwnBell(lock);
    removeFolderIfEmpty(lock);
}

void releaseNamesAtExitOnce() {
    static const bool registered = std::atexit(releaseNamesAtExit) == 0;
    (void)registered;
}

// A sender waiting for room looks again at least this often: the owner wakes it only once
// half the slots are free.
constexpr uint64_t kRoomSliceNs = 1000000;

// Waits until a slot may have come free, the file was retired, or the deadline passes; false
// when nothing was taken since the call (a departure before the sleep counts too).
bool awaitDeparture(SharedEventState &state, const Deadline &deadline) {
    const uint32_t before = state.departures.changes.load() & ~kRungBit;
    auto progressed = [&] {
        return (state.departures.changes.load() & ~kRungBit) != before || state.retired.load() != 0;
    };
    if (watchBriefly(deadline.nanoseconds(), progressed))
        return true;
    const SleepWord word{&state.departures.changes, beginSleep(state.departures), true};
    if (!progressed() && !hasFreeSlot(state))
        sleepOnWords(&word, 1,
                     std::min(deadline.nanoseconds(), monotonicNanoseconds() + kRoomSliceNs));
    endSleep(state.departures);
    return progressed();
}

NamedEvent::~NamedEvent() {
    releaseName();
    NameRegistry &r = registry();
    std::lock_guard guard(r.lock);
    auto entry = r.events.find(name_);
    if (entry != r.events.end() && entry->second.expired())
        r.events.erase(entry);
    r.released.notify_all();
}

void NamedEvent::releaseName() noexcept {
    EventFile *owned = owned_.load();
    if (owned == nullptr || maker_ != getpid() || released_.exchange(true))
        return;
    FolderLock lock(folder_);
    if (!lock.held())
        return;
    retireEventFile(lock, fileName_, *owned);
    releaseOwnMark(owned->mark());
    removeFolderIfEmpty(lock);
}

// A full file waits for a departure, up to kFullQueueWaitMs; a set that finds no room in
// that time is refused rather than the signal lost. An owner that has gone takes nothing, so
// a sender that saw nothing taken for a while asks once whether the owner still lives.
BOOL NamedEvent::set() {
    const uint64_t stamp = nextSendStamp();
    // Counted from the first time the file is found full, so that a set with room reads the
    // clock only once.
    std::optional<Deadline> deadline;
    bool askedOwner = false;
    for (;;) {
        std::shared_ptr<EventFile> target;
        if (const int error = setTarget(target); error != 0)
            return failErrno(error);
        if (!target)
            return TRUE; // as on Windows, setting a name nobody holds signals nobody
        SharedEventState &state = target->state();
        if (publishWakeup(state, stamp)) {
            if (SharedBell *bell = target->bell())
                announceWakeup(state, *bell, target->mark());
            return TRUE;
        }
        if (!deadline)
            deadline = Deadline::after(kFullQueueWaitMs);
        else if (deadline->hasPassed())
            return fail(ERROR_TOO_MANY_POSTS);
        if (!awaitDeparture(state, *deadline) && !askedOwner && !owner_) {
            askedOwner = true;
            if (!ownerLives(target))
                continue;
        }
    }
}

// An opener keeps the owner's file mapped while it is not retired, and otherwise looks the
// name up again, so that a set reaches whoever owns the name now.
int NamedEvent::setTarget(std::shared_ptr<EventFile> &target) {
    if (owner_) {
        target = file_;
        return 0;
    }
    std::lock_guard guard(lock_);
    if (owner_ || (file_ && file_->state().retired.load() == 0)) {
        target = file_;
        return 0;
    }
    FolderLock lock(folder_);
    if (!lock.held())
        return errno;
    const int error = findLiveEvent(lock, fileName_, file_);
    target = file_;
    return error;
}

bool NamedEvent::ownerLives(const std::shared_ptr<EventFile> &target) {
    FolderLock lock(folder_);
    if (!lock.held() || hasLiveOwner(lock, *target))
        return true;
    retireEventFile(lock, fileName_, *target);
    return false;
}

bool NamedEvent::claimName() {
    if (owner_)
        return true;
    std::lock_guard guard(lock_);
    if (owner_)
        return true;
    FolderLock lock(folder_);
    std::shared_ptr<EventFile> file;
    bool owner = false;
    if (!lock.held() || claimEventName(lock, fileName_, file, owner) != 0)
        return false;
    file_ = std::move(file);
    if (owner) {
        maker_ = getpid();
        owned_ = file_.get();
        owner_ = true;
    }
    return owner_;
}

// Makes the file of a new event, or maps the live owner's file.
std::shared_ptr<NamedEvent> createNamedEvent(const std::string &name, bool initialState) {
    std::string folder;
    if (const int error = eventFolder(folder); error != 0) {
        failErrno(error);
        return nullptr;
    }
    std::shared_ptr<EventFile> file;
    bool owner = false;
    {
        FolderLock lock(folder);
        if (!lock.held()) {
            failErrno(errno);
            return nullptr;
        }
        sweepStaleEvents(lock);
        if (const int error = claimEventName(lock, eventFileName(name), file, owner); error != 0) {
            failErrno(error);
            return nullptr;
        }
    }
    auto event = std::make_shared<NamedEvent>(name, std::move(folder), std::move(file), owner);
    if (owner && initialState)
        event->set();
    return event;
}

} // namespace

std::shared_ptr<EventObject> openNamedEvent(std::string_view name, bool initialState,
                                            bool &existed) {
    const std::string key(name);
    NameRegistry &r = registry();
    std::unique_lock lock(r.lock);
    for (;;) {
        auto entry = r.events.find(key);
        if (entry == r.events.end())
            break;
        if (auto live = entry->second.lock()) {
            existed = true;
            return live;
        }
        // The last handle of this name is closing right now; its file still holds the name
        // until its destructor has run.
        r.released.wait(lock);
    }
    releaseNamesAtExitOnce();
    auto event = createNamedEvent(key, initialState);
    if (!event)
        return nullptr;
    try {
        r.events.emplace(key, event);
    } catch (const std::bad_alloc &) {
        // The event's destructor takes the registry lock, so it must go after the lock.
        lock.unlock();
        event.reset();
        throw;
    }
    existed = !event->isOwner();
    return event;
}

} // namespace trax::platform
