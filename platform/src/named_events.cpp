/* Named events across processes.
 *
 * The first process to create a name binds the event's abstract socket address and owns
 * the event: it receives the wake-ups. A process that finds the address taken holds an
 * "opener": its SetEvent sends to the owner, but it does not receive. Each wait on an
 * opener tries to bind the name again, so an opener takes the event over once the owner
 * has gone (waits that find the owner still there only time out). Every SetEvent sends one datagram
 * (also from the owner to itself), wake-ups queue in order and each successful wait takes one, so
 * repeated signals are never merged. Only datagrams from processes of the same user are accepted.
 * When the owner ends, even by a crash, the kernel frees the address; nothing is left in the file
 * system.
 *
 * Within one process a name always maps to one object: creating it again returns a new
 * handle to the same event. */
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <string>
#include <unordered_map>

#include "event_wire.h"
#include "events.h"

namespace trax::platform {
namespace {

class NamedEvent final : public EventObject {
  public:
    NamedEvent(std::string name, int fd, bool owner, const sockaddr_un &address,
               socklen_t addressLength) noexcept
        : name_(std::move(name)), fd_(fd), owner_(owner), address_(address),
          addressLength_(addressLength) {}
    ~NamedEvent() override;

    BOOL set() override;
    void prepareWait() override { bindName(); }

    BOOL reset() override {
        std::lock_guard guard(receiveLock_);
        while (owner_ && receive(0))
            ;
        return TRUE;
    }

    int pollFd() const override { return owner_ ? fd_ : -1; }
    bool isOwner() const noexcept { return owner_; }

    /// Binds the name unless another process holds it; true when this event owns it.
    bool bindName();

    std::optional<uint64_t> pendingSince() override {
        std::lock_guard guard(receiveLock_);
        return owner_ ? receive(MSG_PEEK) : std::nullopt;
    }

    bool tryConsume() override {
        std::lock_guard guard(receiveLock_);
        return owner_ && receive(0).has_value();
    }

  private:
    std::optional<uint64_t> receive(int flags);
    void dropHead();

    std::string name_;
    int fd_;
    std::atomic<bool> owner_;
    sockaddr_un address_;
    socklen_t addressLength_;
    /* Keeps sends away from the moment a bind attempt switches credentials on: a send
     * from a socket with credentials on would bind it to an automatic address. */
    std::mutex bindLock_;
    /* Keeps a peek and the drop of a rejected datagram together. */
    std::mutex receiveLock_;
};

/* The named events alive in this process, by name. */
struct NameRegistry {
    std::mutex lock;
    std::condition_variable released;
    std::unordered_map<std::string, std::weak_ptr<NamedEvent>> events;
};

NameRegistry &registry() {
    static NameRegistry *const instance = new NameRegistry;
    return *instance;
}

NamedEvent::~NamedEvent() {
    close(fd_);
    NameRegistry &r = registry();
    std::lock_guard guard(r.lock);
    auto entry = r.events.find(name_);
    if (entry != r.events.end() && entry->second.expired())
        r.events.erase(entry);
    r.released.notify_all();
}

/* How long SetEvent waits for room when the owner's queue of wake-ups is full. */
constexpr int kFullQueueWaitMs = 100;

BOOL NamedEvent::set() {
    std::lock_guard guard(bindLock_);
    const uint64_t sent = monotonicNanoseconds();
    for (int waitedMs = 0;;) {
        if (sendto(fd_, &sent, sizeof sent, MSG_DONTWAIT | MSG_NOSIGNAL,
                   reinterpret_cast<const sockaddr *>(&address_), addressLength_) >= 0)
            return TRUE;
        switch (errno) {
        case EINTR:
            continue;
        case ECONNREFUSED:
        case ENOENT:
            /* Nobody owns the name: as on Windows, setting it signals nobody. */
            return TRUE;
        case EAGAIN:
            /* The owner's queue is full: give it a moment to catch up, then refuse rather
             * than lose the signal. */
            if (waitedMs++ < kFullQueueWaitMs) {
                sleepUntil(Deadline::after(1));
                continue;
            }
            return fail(ERROR_TOO_MANY_POSTS);
        default:
            return failErrno(errno);
        }
    }
}

/* Receives (or with MSG_PEEK inspects) the first acceptable wake-up; rejected datagrams
 * at the head of the queue are dropped on the way. */
std::optional<uint64_t> NamedEvent::receive(int flags) {
    for (;;) {
        uint64_t payload = 0;
        iovec data{&payload, sizeof payload};
        alignas(cmsghdr) char control[kWakeupControlSize];
        msghdr message{};
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        const ssize_t length = recvmsg(fd_, &message, flags | MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
        if (length < 0) {
            if (errno == EINTR)
                continue;
            return std::nullopt;
        }
        if (auto sent = acceptWakeup(message, length, geteuid()))
            return sent;
        if (flags & MSG_PEEK)
            dropHead();
    }
}

void NamedEvent::dropHead() {
    char ignored;
    while (recv(fd_, &ignored, sizeof ignored, MSG_DONTWAIT) < 0 && errno == EINTR)
        ;
}

/* The credential option is switched on before binding, so the first wake-up already
 * carries the sender's credentials; if the bind fails it is switched off again, because it
 * would make the socket bind an automatic address when it sends. */
bool bindEventSocket(int fd, const sockaddr_un &address, socklen_t length) {
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on);
    if (bind(fd, reinterpret_cast<const sockaddr *>(&address), length) == 0)
        return true;
    const int error = errno;
    int off = 0;
    setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &off, sizeof off);
    errno = error;
    return false;
}

bool NamedEvent::bindName() {
    if (owner_)
        return true;
    std::lock_guard guard(bindLock_);
    if (!owner_ && bindEventSocket(fd_, address_, addressLength_))
        owner_ = true;
    return owner_;
}

/* Creates the socket of a new event and binds the name if no process owns it yet. */
std::shared_ptr<NamedEvent> createNamedEvent(const std::string &name, bool initialState) {
    sockaddr_un address;
    const socklen_t length = makeEventAddress(geteuid(), name, address);
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        failErrno(errno);
        return nullptr;
    }
    const bool owner = bindEventSocket(fd, address, length);
    if (!owner && errno != EADDRINUSE) {
        const int error = errno;
        close(fd);
        failErrno(error);
        return nullptr;
    }
    std::shared_ptr<NamedEvent> event;
    try {
        event = std::make_shared<NamedEvent>(name, fd, owner, address, length);
    } catch (const std::bad_alloc &) {
        close(fd);
        throw;
    }
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
        /* The last handle of this name is closing right now; its socket still holds the
         * address until its destructor has run. */
        r.released.wait(lock);
    }
    auto event = createNamedEvent(key, initialState);
    if (!event)
        return nullptr;
    try {
        r.events.emplace(key, event);
    } catch (const std::bad_alloc &) {
        /* The event's destructor takes the registry lock, so it must go after the lock. */
        lock.unlock();
        event.reset();
        throw;
    }
    existed = !event->isOwner();
    return event;
}

} // namespace trax::platform
