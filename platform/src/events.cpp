// Event calls, unnamed events and the wait on several events.
//
// An unnamed event is an eventfd: a non-zero counter means signalled. An auto-reset wait
// takes the signal by reading the counter, which only one waiter can do; a manual-reset
// event stays readable until ResetEvent drains it. Being descriptors, unnamed and named
// events can be waited on together with one poll().
#include "events.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "event_wire.h"

namespace trax::platform {
namespace {

class UnnamedEvent final : public EventObject {
  public:
    UnnamedEvent(int fd, bool manualReset) noexcept : fd_(fd), manualReset_(manualReset) {}
    ~UnnamedEvent() override { close(fd_); }

    BOOL set() override {
        const uint64_t one = 1;
        return write(fd_, &one, sizeof one) == sizeof one ? TRUE : failErrno(errno);
    }

    BOOL reset() override {
        drain();
        return TRUE;
    }

    int pollFd() const override { return fd_; }
    std::optional<uint64_t> pendingSince() override { return 0; }

    bool tryConsume() override { return manualReset_ ? isSignalled() : drain(); }

  private:
    // Reads the counter back to zero; true if it was signalled.
    bool drain() {
        uint64_t value = 0;
        return read(fd_, &value, sizeof value) == sizeof value;
    }

    bool isSignalled() const {
        pollfd probe{fd_, POLLIN, 0};
        return poll(&probe, 1, 0) == 1;
    }

    int fd_;
    bool manualReset_;
};

// Among the readable descriptors, the index whose pending wake-up was sent first. When
// only one is readable there is nothing to compare, and its queue is not inspected.
std::optional<size_t> earliestPending(EventObject *const *events, const pollfd *fds, size_t count) {
    std::optional<size_t> best;
    uint64_t bestSent = 0;
    size_t readable = 0;
    auto isReadable = [&](size_t i) {
        return (fds[i].revents & POLLIN) != 0 || events[i]->hasTaken();
    };
    for (size_t i = 0; i < count; ++i)
        readable += isReadable(i) ? 1 : 0;
    for (size_t i = 0; i < count; ++i) {
        if (!isReadable(i))
            continue;
        if (readable == 1)
            return i;
        const std::optional<uint64_t> sent = events[i]->pendingSince();
        if (sent && (!best || *sent < bestSent)) {
            best = i;
            bestSent = *sent;
        }
    }
    return best;
}

} // namespace

DWORD EventObject::waitFor(const Deadline &deadline) {
    EventObject *self = this;
    return waitForAnyEvent(&self, 1, deadline);
}

// A wait that includes an event which cannot receive yet (an opener) polls in slices of
// this length, so that it notices when the event can take over its name.
constexpr DWORD kRetrySliceMs = 100;

DWORD waitForAnyEvent(EventObject *const *events, size_t count, const Deadline &deadline) {
    if (count > kMaxWaitObjects)
        return failWait(ERROR_INVALID_PARAMETER);
    // A single event whose wake-up is already there needs no poll, nor does a check that
    // finds none and may not wait: this keeps a receiver that falls behind a flood of sets
    // at one system call per wake-up.
    if (count == 1) {
        if (events[0]->tryConsume())
            return WAIT_OBJECT_0;
        if (deadline.hasPassed() && events[0]->pollFd() >= 0)
            return WAIT_TIMEOUT;
    }
    std::array<pollfd, kMaxWaitObjects> fds;
    for (;;) {
        bool cannotReceive = false;
        bool taken = false;
        for (size_t i = 0; i < count; ++i) {
            events[i]->prepareWait();
            fds[i] = pollfd{events[i]->pollFd(), POLLIN, 0};
            cannotReceive = cannotReceive || fds[i].fd < 0;
            taken = taken || events[i]->hasTaken();
        }
        // With a wake-up already taken off its descriptor, the poll only looks at what the
        // other events have, without waiting.
        const Deadline slice = taken           ? Deadline::after(0)
                               : cannotReceive ? deadline.earlier(kRetrySliceMs)
                                               : deadline;
        const int ready = pollUntil(fds.data(), count, slice);
        if (ready < 0)
            return failWait(translateErrno(errno));
        if (ready == 0 && !taken) {
            if (deadline.hasPassed())
                return WAIT_TIMEOUT;
            continue;
        }
        const std::optional<size_t> pick = earliestPending(events, fds.data(), count);
        if (pick && events[*pick]->tryConsume())
            return WAIT_OBJECT_0 + static_cast<DWORD>(*pick);
    }
}

std::shared_ptr<EventObject> createUnnamedEvent(bool manualReset, bool initialState) {
    const int fd = eventfd(initialState ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) {
        failErrno(errno);
        return nullptr;
    }
    try {
        return std::make_shared<UnnamedEvent>(fd, manualReset);
    } catch (const std::bad_alloc &) {
        close(fd);
        throw;
    }
}

} // namespace trax::platform

using namespace trax::platform;

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState,
                           LPCSTR name) {
    if (name == nullptr || name[0] == '\0') {
        return trax::guardEntry(
            [&]() -> HANDLE {
                auto event = createUnnamedEvent(manualReset != FALSE, initialState != FALSE);
                HANDLE handle = event ? insertHandle(std::move(event)) : nullptr;
                if (handle != nullptr)
                    SetLastError(ERROR_SUCCESS);
                return handle;
            },
            handleOnFault);
    }
    if (std::string_view(name).size() > kMaxEventName)
        return failHandle(ERROR_FILENAME_EXCED_RANGE);
    // Named events are auto-reset only: each SetEvent queues one wake-up.
    if (manualReset)
        return failHandle(ERROR_NOT_SUPPORTED);
    return trax::guardEntry(
        [&]() -> HANDLE {
            bool existed = false;
            auto event = openNamedEvent(name, initialState != FALSE, existed);
            if (!event)
                return nullptr;
            HANDLE handle = insertHandle(std::move(event));
            if (handle != nullptr)
                SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
            return handle;
        },
        handleOnFault);
}

BOOL WINAPI SetEvent(HANDLE handle) {
    auto event = findHandleOf<EventObject>(handle);
    return event ? event->set() : FALSE;
}

BOOL WINAPI ResetEvent(HANDLE handle) {
    auto event = findHandleOf<EventObject>(handle);
    return event ? event->reset() : FALSE;
}

DWORD WINAPI WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD ms) {
    if (count == 0 || count > kMaxWaitObjects || handles == nullptr || waitAll)
        return failWait(ERROR_INVALID_PARAMETER);
    std::array<Held<EventObject>, kMaxWaitObjects> held;
    std::array<EventObject *, kMaxWaitObjects> events;
    for (DWORD i = 0; i < count; ++i) {
        held[i] = findHandleOf<EventObject>(handles[i]);
        if (!held[i])
            return WAIT_FAILED;
        events[i] = held[i].get();
    }
    return waitForAnyEvent(events.data(), count, Deadline::after(ms));
}
