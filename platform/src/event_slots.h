// The shared state of a named event and the lock-free steps on it.
//
// A named event is a small file in the user's private folder (see event_folder.h), mapped by
// the process that receives its wake-ups (the owner) and by every process that sets it. Each
// SetEvent writes its send stamp into a free slot with one compare-and-swap: a sender killed
// at any instant has either published its wake-up whole or not at all, and never leaves
// anything that blocks the owner. The owner takes a wake-up by clearing its slot, oldest stamp
// first. The bounded number of slots bounds what can be pending; a sender that finds them all
// taken waits for a departure.
//
// Sleepers announce themselves before they look at the slots, and publishers advance the
// futex words (the lanes of the owner's doorbell that its waiting threads sleep on) before
// they look for sleepers, so a wake-up published while a
// waiter goes to sleep is never missed and a publisher with nobody asleep makes no system call.
// A change that finds the sleepers woken already by an earlier one, which they have not
// answered yet, makes no system call either (see WakeChannel).
#ifndef TRAX_PLATFORM_EVENT_SLOTS_H
#define TRAX_PLATFORM_EVENT_SLOTS_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "wait_core.h"

namespace trax::platform {

/// The folder that holds the files laid out as below, named after the layout's version. A
/// change of the layout takes a new version (and new magic words), so that processes of
/// builds with different layouts keep their files apart.
inline constexpr const char kEventLayoutFolder[] = "layout-4";

/// Most wake-ups pending for one named event. A sender that finds them all taken sleeps until
/// the owner has taken half, so this is also the burst a flood sends per wake-up of either
/// side: few enough to scan on each take, enough that the wake-ups (tens of microseconds
/// each when the other side's processor sleeps) are rare.
inline constexpr size_t kEventSlots = 64;

/// Marks a mapped file as an initialised event.
inline constexpr uint32_t kEventMagic = 0x54455634;

/// Size of an event's file: one page.
inline constexpr size_t kEventFileSize = 4096;

/// The top bit of a WakeChannel's word: the sleepers have been woken since the last of them
/// read the word. The other bits count the changes.
inline constexpr uint32_t kRungBit = 0x80000000u;

/// A futex word that is advanced on every change, and the count of those asleep on it.
///
/// The first change that finds sleepers sets the word's rung bit and wakes them; the changes
/// that follow it leave the waking to that one, until a sleeper reads the word again, which
/// clears the bit. The bit lives in the futex word itself, so that setting it is a change
/// the sleepers' futex sees: a sleeper that read the word before the bit was set either
/// finds the word changed when it goes to sleep or is asleep already when the setter wakes
/// it, and so no change after its read goes unnoticed. A mark in a word of its own would not
/// do: a change counted before a sleeper's read but marked after its clear would wake nobody
/// and still make every later change skip its wake-up, so the sleeper would sleep through all
/// of them.
struct WakeChannel {
    std::atomic<uint32_t> changes{0};
    std::atomic<uint32_t> sleepers{0};
};

/// The contents of an event's file.
struct SharedEventState {
    std::atomic<uint32_t> magic;
    /// Set when the owner has closed the event or its file was reclaimed: whoever still maps
    /// it looks the name up again.
    std::atomic<uint32_t> retired;
    /// Names the owner's doorbell file, which every set rings after it has published.
    std::atomic<uint64_t> bell;
    /// The lanes of that doorbell on which threads of the owner wait for this event, one bit
    /// each; every set rings these lanes. Bits are only ever added: one left by a thread that
    /// waits elsewhere now costs a needless ring, never a missed one.
    std::atomic<uint32_t> lanes;
    /// The event's flag among the doorbell's pending flags (kNoMark: none; the event is then
    /// looked at in every look).
    std::atomic<uint32_t> mark;
    /// Advanced after each taken wake-up; senders that found no free slot sleep on it. On a
    /// cache line of its own, so that takes do not disturb the senders' reads of the above.
    alignas(64) WakeChannel departures;
    /// Send stamps of the pending wake-ups; 0 marks a free slot.
    alignas(64) std::atomic<uint64_t> slots[kEventSlots];
};

/// Marks a mapped file as an initialised doorbell.
inline constexpr uint32_t kBellMagic = 0x54454234;

/// Lanes of a doorbell. Each thread of the owner that waits for named events sleeps on one
/// lane (threads beyond this number share them), so a set wakes only the threads that wait
/// for its event.
inline constexpr size_t kBellLanes = 32;

/// A lane of a doorbell, alone on its cache line.
struct alignas(64) BellLane {
    WakeChannel channel;
};

/// Pending flags of a doorbell: each event of the owner that has one (its mark) is looked at
/// only while its flag is set, so that a wait on many events reads one page, not a page per
/// event.
inline constexpr uint32_t kBellMarks = 1024;
inline constexpr uint32_t kNoMark = UINT32_MAX;

/// The contents of a doorbell file: one per process that owns named events. A set of one of
/// its events raises the event's pending flag and rings the lanes of the threads that wait
/// for it, so that a wait on any number of them sleeps on one word.
struct SharedBell {
    std::atomic<uint32_t> magic;
    BellLane lanes[kBellLanes];
    /// Set by every set that has published, after that; cleared by a waiter before it takes
    /// a wake-up and set again if it leaves any behind. A set flag may find nothing.
    std::atomic<uint8_t> pending[kBellMarks];
};
static_assert(sizeof(SharedBell) <= kEventFileSize);
static_assert(sizeof(SharedEventState) <= kEventFileSize);
static_assert(std::atomic<uint64_t>::is_always_lock_free);

/// A pending wake-up: its send stamp and the slot that holds it.
struct PendingWakeup {
    uint64_t stamp;
    size_t slot;
    /// Further wake-ups the look that found this one saw pending.
    size_t others = 0;
};

/// A send stamp for a wake-up set now: the monotonic clock, never twice the same value in
/// this process, so that the wake-ups one process sets keep their order.
uint64_t nextSendStamp();

/// Publishes a wake-up; false when every slot is taken.
bool publishWakeup(SharedEventState &state, uint64_t stamp);

/// True while a slot is free.
bool hasFreeSlot(const SharedEventState &state);

/// True while a wake-up is pending.
bool hasWakeup(const SharedEventState &state);

/// The oldest pending wake-up, if any.
std::optional<PendingWakeup> oldestWakeup(const SharedEventState &state);

/// Takes the wake-up if it is still pending; false when another waiter was faster.
bool takeWakeup(SharedEventState &state, const PendingWakeup &pending);

/// Drops every pending wake-up.
void dropWakeups(SharedEventState &state);

/// Advances the channel's word and wakes its sleepers, if any.
void announceChange(WakeChannel &channel, bool shared);

/// The lane of the bell a thread sleeps on for the event, entered in the event's lanes first
/// (a look at the event's slots must follow, so that a set the lane misses is seen there).
WakeChannel &joinLane(SharedEventState &state, SharedBell &bell, size_t lane);

/// Rings the lanes of the bell that threads of the event's owner wait on.
void ringLanes(const SharedEventState &state, SharedBell &bell);

/// Announces a wake-up just published to the event (whose mark is `mark`): raises its
/// pending flag and rings the lanes of its waiting threads.
void announceWakeup(const SharedEventState &state, SharedBell &bell, uint32_t mark);

/// The event's pending flag in the bell, which is set whenever the event may hold a
/// wake-up; null for an event without one.
const std::atomic<uint8_t> *pendingFlag(const SharedBell &bell, uint32_t mark);

/// takeWakeup for an event with a pending flag: the flag is cleared first and raised again
/// if a wake-up is left behind, so that a set meanwhile is never hidden. A take that leaves
/// others behind (as the look saw) leaves the flag raised as it is. Raising it again also
/// rings the event's lanes: another thread waiting for the event may have passed over it
/// while the flag was down, and must look again rather than sleep with the wake-up pending.
bool takeFlaggedWakeup(SharedEventState &state, SharedBell &bell, uint32_t mark,
                       const PendingWakeup &pending);

/// The channel's word, read (and its rung bit cleared) after announcing this caller as a
/// sleeper; call endSleep after.
uint32_t beginSleep(WakeChannel &channel);
void endSleep(WakeChannel &channel);
/// The channel's word again, its rung bit cleared in the same step, for a caller still
/// announced that is about to look and sleep once more: the next change wakes it again.
uint32_t renewSleep(WakeChannel &channel);

/// Whether the calling thread should watch for a change before it sleeps: only on a machine
/// with more than one processor, and only while watching has paid lately (see watchBriefly).
bool watchingPays();

/// Records whether a watch of the calling thread saw the change it waited for.
void creditWatch(bool paid);

/// How long a watch lasts at most.
inline constexpr uint64_t kWatchNs = 3000;

/// Watches in a row that may end without their change before a thread stops watching; a
/// watch that sees its change restores them. Without credit a thread watches only every
/// kWatchRetry-th time, to find out whether watching pays again.
inline constexpr int kWatchCredit = 1;
inline constexpr unsigned kWatchRetry = 256;

/// Polls `changed` for up to kWatchNs (never past the absolute monotonic deadline in
/// nanoseconds, 0 = none) before the caller sleeps, while watching pays for this thread;
/// true as soon as it returns true. A change that comes within the moment then costs neither
/// side a system call; watching pays only when the other side runs on another processor.
template <class Changed> bool watchBriefly(uint64_t deadlineNs, Changed changed);

/// One futex word a wait sleeps on, and the value it had when the waiter last looked.
struct SleepWord {
    const std::atomic<uint32_t> *word;
    uint32_t seen;
    bool shared;
};

/// Sleeps until one of the words changes (or may have), the absolute monotonic deadline in
/// nanoseconds passes (0 = never), or a signal arrives. Spurious returns are possible.
void sleepOnWords(const SleepWord *words, size_t count, uint64_t deadlineNs);

namespace detail {
void relaxProcessor();
} // namespace detail

template <class Changed> bool watchBriefly(uint64_t deadlineNs, Changed changed) {
    if (!watchingPays())
        return false;
    uint64_t until = monotonicNanoseconds() + kWatchNs;
    if (deadlineNs != 0 && deadlineNs < until)
        until = deadlineNs;
    do {
        for (int i = 0; i < 16; ++i)
            detail::relaxProcessor();
        if (changed()) {
            creditWatch(true);
            return true;
        }
    } while (monotonicNanoseconds() < until);
    creditWatch(false);
    return false;
}

} // namespace trax::platform

#endif
