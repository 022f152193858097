// Events, unnamed and named, behind one interface so that the waits treat them alike.
#ifndef TRAX_PLATFORM_EVENTS_H
#define TRAX_PLATFORM_EVENTS_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "event_slots.h"
#include "handles.h"

namespace trax::platform {

/// Most events one wait can watch.
inline constexpr size_t kMaxWaitObjects = 64;

/// What a wait sleeps on for one event: a futex word advanced by every set, and the count of
/// sleepers the setter looks at before it wakes anyone; with a flag that is set whenever the
/// event may hold a wake-up, if it has one, so that a look can pass over the event cheaply.
struct EventChannel {
    WakeChannel *channel = nullptr;
    bool shared = false;
    const std::atomic<uint8_t> *pendingFlag = nullptr;
};

class EventObject : public KernelObject {
  public:
    static constexpr Kind kKind = Kind::event;

    EventObject() noexcept : KernelObject(kKind) {}

    virtual BOOL set() = 0;
    virtual BOOL reset() = 0;
    /// Called before each look of a wait, to bring the event into a state it can be waited in
    /// where that is possible.
    virtual void prepareWait() {}
    /// The channel a waiter sleeps on; none while the event cannot receive (an opener).
    virtual EventChannel channel() = 0;
    /// The oldest pending wake-up (stamp 0 for an unnamed event, which counts as earliest).
    virtual std::optional<PendingWakeup> pending() = 0;
    /// Takes that wake-up; false when it has gone meanwhile (another waiter was faster).
    virtual bool take(const PendingWakeup &wakeup) = 0;

    DWORD waitFor(const Deadline &deadline) override;
};

/// Whether a wait may keep what it gathers from its events for the calling thread's next
/// wait on the same events, or use what the previous one kept.
enum class GatheredUse { once, keep, reuse };

/// Waits until one of count events delivers a wake-up and takes it. When several are
/// pending, the one sent first wins (unnamed events first, then the lowest index).
/// Returns WAIT_OBJECT_0 + index, WAIT_TIMEOUT, or WAIT_FAILED with the last error set.
/// `reuse` may only be given for the same events, held ever since, as the thread's last wait
/// with `keep` or `reuse`.
DWORD waitForAnyEvent(EventObject *const *events, size_t count, const Deadline &deadline,
                      GatheredUse use = GatheredUse::once);

/// A new unnamed event, or null with the last error set.
std::shared_ptr<EventObject> createUnnamedEvent(bool manualReset, bool initialState);

/// The named event of this name in this process, created (and bound as owner, or made an
/// opener when another process owns the name) if it does not exist yet. `existed` tells
/// whether the name was already in use. Null with the last error set on failure.
std::shared_ptr<EventObject> openNamedEvent(std::string_view name, bool initialState,
                                            bool &existed);

} // namespace trax::platform

#endif
