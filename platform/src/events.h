// Events, unnamed and named, behind one interface so that the waits treat them alike.
#ifndef TRAX_PLATFORM_EVENTS_H
#define TRAX_PLATFORM_EVENTS_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "handles.h"

namespace trax::platform {

/// Most events one wait can watch.
inline constexpr size_t kMaxWaitObjects = 64;

class EventObject : public KernelObject {
  public:
    static constexpr Kind kKind = Kind::event;

    EventObject() noexcept : KernelObject(kKind) {}

    virtual BOOL set() = 0;
    virtual BOOL reset() = 0;
    /// Called before each poll of a wait, to bring the event into a state it can be
    /// waited in where that is possible.
    virtual void prepareWait() {}
    /// Descriptor that polls readable while a wake-up may be pending; -1 if it never will.
    virtual int pollFd() const = 0;
    /// Called after pollFd() polled readable: the send time of the pending wake-up (0 for
    /// an unnamed event, which counts as earliest), or nothing if it has gone meanwhile.
    virtual std::optional<uint64_t> pendingSince() = 0;
    /// Takes the pending wake-up; false when there is none (another waiter was faster).
    virtual bool tryConsume() = 0;
    /// True while wake-ups are pending that were already taken off pollFd(), which then does
    /// not poll readable for them.
    virtual bool hasTaken() const { return false; }

    DWORD waitFor(const Deadline &deadline) override;
};

/// Waits until one of count events delivers a wake-up and takes it. When several are
/// pending, the one sent first wins (unnamed events first, then the lowest index).
/// Returns WAIT_OBJECT_0 + index, WAIT_TIMEOUT, or WAIT_FAILED with the last error set.
DWORD waitForAnyEvent(EventObject *const *events, size_t count, const Deadline &deadline);

/// A new unnamed event, or null with the last error set.
std::shared_ptr<EventObject> createUnnamedEvent(bool manualReset, bool initialState);

/// The named event of this name in this process, created (and bound as owner, or made an
/// opener when another process owns the name) if it does not exist yet. `existed` tells
/// whether the name was already in use. Null with the last error set on failure.
std::shared_ptr<EventObject> openNamedEvent(std::string_view name, bool initialState,
                                            bool &existed);

} // namespace trax::platform

#endif
