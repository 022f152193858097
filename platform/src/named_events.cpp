// Named events across processes.
//
// A named event is a datagram socket file in the user's private event folder. The first
// process to create a name binds its file and owns the event: it receives the wake-ups. A
// process that finds the name bound by a live socket holds an "opener": its SetEvent sends to
// the owner, but it does not receive. Each wait on an opener tries to bind the name again, so
// an opener takes the event over once the owner has gone (waits that find the owner still
// there only time out). Every SetEvent sends one datagram (also from the owner to itself),
// wake-ups queue in order and each successful wait takes one, so repeated signals are never
// merged. Only datagrams from processes of the same user are accepted.
//
// The owner removes its file when it closes the event or the process exits; the file of an
// owner that crashed is removed by the next process that binds the name, or by the sweep
// that each process makes of the folder when it first binds a name.
//
// Within one process a name always maps to one object: creating it again returns a new
// handle to the same event.
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "event_folder.h"
#include "event_wire.h"
#include "events.h"

namespace trax::platform {
namespace {

// How long SetEvent waits for room when the owner's queue of wake-ups is full.
constexpr time_t kFullQueueWaitSeconds = 1;

class NamedEvent final : public EventObject {
  public:
    NamedEvent(std::string name, std::string folder, int fd, bool owner, const sockaddr_un &address,
               socklen_t addressLength) noexcept
        : name_(std::move(name)), folder_(std::move(folder)), fd_(fd), owner_(owner),
          address_(address), addressLength_(addressLength) {}
    ~NamedEvent() override;

    BOOL set() override;
    void prepareWait() override { bindName(); }

    BOOL reset() override {
        std::lock_guard guard(receiveLock_);
        takenCount_ = 0;
        while (owner_ && takeBatch())
            takenCount_ = 0;
        hasTaken_ = false;
        return TRUE;
    }

    int pollFd() const override { return owner_ ? fd_ : -1; }
    bool isOwner() const noexcept { return owner_; }

    /// Binds the name unless a live socket holds it; true when this event owns it.
    bool bindName();

    /// Removes the socket file if this process owns the name, so that it is not left behind.
    void releaseName() noexcept;

    std::optional<uint64_t> pendingSince() override {
        std::lock_guard guard(receiveLock_);
        if (!hasWakeup())
            return std::nullopt;
        return taken_[takenHead_];
    }

    bool tryConsume() override {
        std::lock_guard guard(receiveLock_);
        if (!hasWakeup())
            return false;
        ++takenHead_;
        hasTaken_ = --takenCount_ > 0;
        return true;
    }

    bool hasTaken() const override { return hasTaken_; }

  private:
    // Most wake-ups taken from the socket with one call.
    static constexpr size_t kBatch = 16;

    // Called with receiveLock_ held.
    bool hasWakeup() { return owner_ && (takenCount_ > 0 || takeBatch()); }
    bool takeBatch();
    int sendToOwner(uint64_t sent);

    std::string name_;
    std::string folder_;
    int fd_;
    std::atomic<bool> owner_;
    sockaddr_un address_;
    socklen_t addressLength_;
    // The process that bound the name: a forked child must not remove its parent's file.
    std::atomic<pid_t> binder_{owner_ ? getpid() : 0};
    // Socket connected to the owner, through which an opener sends; -1 until first used.
    int sender_ = -1;
    std::mutex bindLock_;
    std::mutex sendLock_;
    // The user whose wake-ups are accepted: the one that created the event.
    const uid_t user_ = geteuid();
    // Wake-ups taken from the socket but not yet consumed, oldest first, from takenHead_ on:
    // taking them in batches lets a receiver behind a flood of sets catch up with one system
    // call per batch and frees the senders' queue sooner. Guarded by receiveLock_.
    uint64_t taken_[kBatch] = {};
    size_t takenHead_ = 0;
    size_t takenCount_ = 0;
    std::atomic<bool> hasTaken_{false};
    std::mutex receiveLock_;
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

// At exit the handles of a process are never closed, so its socket files are removed here.
// The events are released outside the registry lock, since the last reference to one may
// be dropped here and its destructor takes that lock.
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
}

void releaseNamesAtExitOnce() {
    static const bool registered = std::atexit(releaseNamesAtExit) == 0;
    (void)registered;
}

// A datagram socket whose sends wait at most kFullQueueWaitSeconds for room. One that is to
// receive also gets the sender's credentials with each wake-up; a socket that only sends
// goes without, since with them it would bind itself an automatic abstract address.
int openEventSocket(bool receives) {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int on = 1;
    const timeval limit{kFullQueueWaitSeconds, 0};
    if ((receives && setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) != 0) ||
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0) {
        const int error = errno;
        close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool bindTo(int fd, const sockaddr_un &address, socklen_t length) {
    return bind(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0;
}

// Binds the event's socket file under the folder lock; a file whose owner has gone is removed
// first. Returns 0, EADDRINUSE while a live owner holds the name, or another errno value.
int claimName(const std::string &folder, int fd, const sockaddr_un &address, socklen_t length) {
    FolderLock lock(folder);
    if (!lock.held())
        return errno;
    sweepStaleSockets(lock);
    if (bindTo(fd, address, length))
        return 0;
    const int error = errno;
    if (error != EADDRINUSE || !isStaleSocket(address, length))
        return error;
    unlink(address.sun_path);
    return bindTo(fd, address, length) ? 0 : errno;
}

// Sends one wake-up, to `to` or (when null) to the connected peer; 0 or the errno value.
int sendWakeup(int fd, uint64_t sent, const sockaddr_un *to, socklen_t length) {
    for (;;) {
        const ssize_t result = to != nullptr
                                   ? sendto(fd, &sent, sizeof sent, MSG_NOSIGNAL,
                                            reinterpret_cast<const sockaddr *>(to), length)
                                   : send(fd, &sent, sizeof sent, MSG_NOSIGNAL);
        if (result >= 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

// True for the errors that say no socket owns the name (any more).
bool nobodyOwns(int error) {
    return error == ECONNREFUSED || error == ENOENT || error == ENOTCONN;
}

// The result of SetEvent for the outcome of a send. A full queue that stayed full for the
// whole wait is refused rather than the signal lost.
BOOL setResult(int error) {
    if (error == 0 || nobodyOwns(error))
        return TRUE; // as on Windows, setting a name nobody holds signals nobody
    if (error == EAGAIN || error == EWOULDBLOCK)
        return fail(ERROR_TOO_MANY_POSTS);
    return failErrno(error);
}

NamedEvent::~NamedEvent() {
    releaseName();
    close(fd_);
    if (sender_ >= 0)
        close(sender_);
    NameRegistry &r = registry();
    std::lock_guard guard(r.lock);
    auto entry = r.events.find(name_);
    if (entry != r.events.end() && entry->second.expired())
        r.events.erase(entry);
    r.released.notify_all();
}

// The file goes before the socket is closed: while the socket lives nobody can take the
// file for stale, so no other process's new socket of the same name can be removed here.
void NamedEvent::releaseName() noexcept {
    if (owner_ && binder_ == getpid())
        unlink(address_.sun_path);
}

// The owner sends to its own socket file (unlimited by the queue length that applies between
// sockets); an opener sends through a socket connected to the owner.
BOOL NamedEvent::set() {
    const uint64_t sent = monotonicNanoseconds();
    if (owner_)
        return setResult(sendWakeup(fd_, sent, &address_, addressLength_));
    return setResult(sendToOwner(sent));
}

// Connects on first use and again after the owner has gone, since a new owner may have bound
// the name meanwhile.
int NamedEvent::sendToOwner(uint64_t sent) {
    std::lock_guard guard(sendLock_);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (sender_ < 0) {
            sender_ = openEventSocket(false);
            if (sender_ < 0)
                return errno;
            if (connect(sender_, reinterpret_cast<const sockaddr *>(&address_), addressLength_) !=
                0) {
                const int error = errno;
                close(sender_);
                sender_ = -1;
                return error;
            }
        }
        const int error = sendWakeup(sender_, sent, nullptr, 0);
        if (!nobodyOwns(error))
            return error;
        close(sender_);
        sender_ = -1;
    }
    return ECONNREFUSED;
}

// Takes up to kBatch queued wake-ups from the socket into taken_, dropping those that fail the
// check on the way; true when at least one was taken. Called with the batch empty.
bool NamedEvent::takeBatch() {
    for (;;) {
        uint64_t payload[kBatch];
        iovec data[kBatch];
        alignas(cmsghdr) char control[kBatch][kWakeupControlSize];
        mmsghdr messages[kBatch] = {};
        for (size_t i = 0; i < kBatch; ++i) {
            data[i] = iovec{&payload[i], sizeof payload[i]};
            messages[i].msg_hdr.msg_iov = &data[i];
            messages[i].msg_hdr.msg_iovlen = 1;
            messages[i].msg_hdr.msg_control = control[i];
            messages[i].msg_hdr.msg_controllen = sizeof control[i];
        }
        const int received =
            recvmmsg(fd_, messages, kBatch, MSG_DONTWAIT | MSG_CMSG_CLOEXEC, nullptr);
        if (received <= 0) {
            if (received < 0 && errno == EINTR)
                continue;
            return false;
        }
        takenHead_ = 0;
        takenCount_ = 0;
        for (int i = 0; i < received; ++i) {
            if (auto sent = acceptWakeup(messages[i].msg_hdr, messages[i].msg_len, user_))
                taken_[takenCount_++] = *sent;
        }
        if (takenCount_ > 0) {
            hasTaken_ = true;
            return true;
        }
    }
}

bool NamedEvent::bindName() {
    if (owner_)
        return true;
    std::lock_guard guard(bindLock_);
    if (!owner_ && claimName(folder_, fd_, address_, addressLength_) == 0) {
        binder_ = getpid();
        owner_ = true;
    }
    return owner_;
}

// Creates the socket of a new event and binds the name if no live socket holds it yet.
std::shared_ptr<NamedEvent> createNamedEvent(const std::string &name, bool initialState) {
    std::string folder;
    if (const int error = eventFolder(folder); error != 0) {
        failErrno(error);
        return nullptr;
    }
    sockaddr_un address;
    const socklen_t length = makeEventAddress(folder, name, address);
    if (length == 0) {
        fail(ERROR_FILENAME_EXCED_RANGE);
        return nullptr;
    }
    const int fd = openEventSocket(true);
    if (fd < 0) {
        failErrno(errno);
        return nullptr;
    }
    const int error = claimName(folder, fd, address, length);
    if (error != 0 && error != EADDRINUSE) {
        close(fd);
        failErrno(error);
        return nullptr;
    }
    std::shared_ptr<NamedEvent> event;
    try {
        event =
            std::make_shared<NamedEvent>(name, std::move(folder), fd, error == 0, address, length);
    } catch (const std::bad_alloc &) {
        if (error == 0)
            unlink(address.sun_path);
        close(fd);
        throw;
    }
    if (event->isOwner() && initialState)
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
        // The last handle of this name is closing right now; its socket still holds the
        // name until its destructor has run.
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
