// The lock-free steps on an event's slots, and the futex sleep on one word or several.
#include "event_slots.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <ctime>

#include "wait_core.h"

namespace trax::platform {
namespace {

// Slices of a sleep on several words where the kernel cannot wait on them at once (or a
// tool that runs the program does not know that call): the waiter looks again this often.
constexpr uint64_t kFallbackSliceNs = 1000000;

uint32_t *futexAddress(const std::atomic<uint32_t> *word) {
    return reinterpret_cast<uint32_t *>(const_cast<std::atomic<uint32_t> *>(word));
}

timespec absoluteTime(uint64_t ns) {
    timespec at{};
    at.tv_sec = static_cast<time_t>(ns / 1000000000u);
    at.tv_nsec = static_cast<long>(ns % 1000000000u);
    return at;
}

void sleepOnWord(const SleepWord &word, uint64_t deadlineNs) {
    const timespec at = absoluteTime(deadlineNs);
    const int op = FUTEX_WAIT_BITSET | (word.shared ? 0 : FUTEX_PRIVATE_FLAG);
    syscall(SYS_futex, futexAddress(word.word), op, word.seen, deadlineNs != 0 ? &at : nullptr,
            nullptr, FUTEX_BITSET_MATCH_ANY);
}

void wakeSleepers(WakeChannel &channel, bool shared) {
    const int op = FUTEX_WAKE | (shared ? 0 : FUTEX_PRIVATE_FLAG);
    syscall(SYS_futex, futexAddress(&channel.changes), op, INT_MAX, nullptr, nullptr, 0);
}

// Counts a change in the channel's word, leaving its rung bit as it is (a plain add would carry
// into it once the count wraps).
void countChange(WakeChannel &channel) {
    uint32_t word = channel.changes.load(std::memory_order_relaxed);
    while (!channel.changes.compare_exchange_weak(word,
                                                  (word & kRungBit) | ((word + 1) & ~kRungBit))) {
    }
}

// Sets the rung bit after a change that found sleepers; true for the change that set it, which
// must wake them. The set bit is itself a change of the word, so a sleeper that read the word
// before it does not sleep through the wake-up this call leads to.
bool ringsFirst(WakeChannel &channel) {
    return (channel.changes.fetch_or(kRungBit) & kRungBit) == 0;
}

size_t freeSlots(const SharedEventState &state) {
    size_t free = 0;
    for (const std::atomic<uint64_t> &slot : state.slots)
        free += slot.load() == 0 ? 1 : 0;
    return free;
}

// The calling thread's credit of watches (see kWatchCredit).
constinit thread_local int watchCredit __attribute__((tls_model("initial-exec"))) = kWatchCredit;
constinit thread_local unsigned watchSkipped __attribute__((tls_model("initial-exec"))) = 0;

} // namespace

namespace detail {
void relaxProcessor() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}
} // namespace detail

bool watchingPays() {
    static const bool otherProcessors = sysconf(_SC_NPROCESSORS_ONLN) > 1;
    return otherProcessors && (watchCredit > 0 || ++watchSkipped % kWatchRetry == 0);
}

void creditWatch(bool paid) {
    watchCredit = paid ? kWatchCredit : std::max(watchCredit - 1, 0);
}

uint64_t nextSendStamp() {
    static std::atomic<uint64_t> last{0};
    const uint64_t now = monotonicNanoseconds();
    uint64_t previous = last.load(std::memory_order_relaxed);
    uint64_t stamp;
    do {
        stamp = std::max(now, previous + 1);
    } while (!last.compare_exchange_weak(previous, stamp, std::memory_order_relaxed));
    return stamp;
}

bool publishWakeup(SharedEventState &state, uint64_t stamp) {
    for (std::atomic<uint64_t> &slot : state.slots) {
        uint64_t expected = 0;
        if (slot.load(std::memory_order_relaxed) == 0 &&
            slot.compare_exchange_strong(expected, stamp))
            return true;
    }
    return false;
}

bool hasFreeSlot(const SharedEventState &state) {
    return std::any_of(std::begin(state.slots), std::end(state.slots),
                       [](const std::atomic<uint64_t> &slot) { return slot.load() == 0; });
}

bool hasWakeup(const SharedEventState &state) {
    return std::any_of(std::begin(state.slots), std::end(state.slots),
                       [](const std::atomic<uint64_t> &slot) { return slot.load() != 0; });
}

std::optional<PendingWakeup> oldestWakeup(const SharedEventState &state) {
    std::optional<PendingWakeup> oldest;
    size_t found = 0;
    for (size_t i = 0; i < kEventSlots; ++i) {
        const uint64_t stamp = state.slots[i].load();
        if (stamp == 0)
            continue;
        ++found;
        if (!oldest || stamp < oldest->stamp)
            oldest = PendingWakeup{stamp, i};
    }
    if (oldest)
        oldest->others = found - 1;
    return oldest;
}

bool takeWakeup(SharedEventState &state, const PendingWakeup &pending) {
    if (pending.slot >= kEventSlots)
        return false;
    uint64_t expected = pending.stamp;
    if (!state.slots[pending.slot].compare_exchange_strong(expected, 0))
        return false;
    // A sender waiting for room is woken once half the slots are free rather than for each
    // one, so that it sends a burst per wake-up; meanwhile it looks again every slice.
    countChange(state.departures);
    if (state.departures.sleepers.load() != 0 && freeSlots(state) >= kEventSlots / 2 &&
        ringsFirst(state.departures))
        wakeSleepers(state.departures, true);
    return true;
}

void dropWakeups(SharedEventState &state) {
    for (std::atomic<uint64_t> &slot : state.slots)
        slot.store(0);
    announceChange(state.departures, true);
}

void announceChange(WakeChannel &channel, bool shared) {
    countChange(channel);
    if (channel.sleepers.load() != 0 && ringsFirst(channel))
        wakeSleepers(channel, shared);
}

WakeChannel &joinLane(SharedEventState &state, SharedBell &bell, size_t lane) {
    const uint32_t bit = 1u << (lane % kBellLanes);
    if ((state.lanes.load() & bit) == 0)
        state.lanes.fetch_or(bit);
    return bell.lanes[lane % kBellLanes].channel;
}

void ringLanes(const SharedEventState &state, SharedBell &bell) {
    for (uint32_t lanes = state.lanes.load(); lanes != 0; lanes &= lanes - 1)
        announceChange(bell.lanes[std::countr_zero(lanes)].channel, true);
}

void announceWakeup(const SharedEventState &state, SharedBell &bell, uint32_t mark) {
    // A flag found set needs no store: a waiter that clears it later looks at the slots
    // after that, and so sees this wake-up.
    if (mark < kBellMarks && bell.pending[mark].load() == 0)
        bell.pending[mark].store(1);
    ringLanes(state, bell);
}

const std::atomic<uint8_t> *pendingFlag(const SharedBell &bell, uint32_t mark) {
    return mark < kBellMarks ? &bell.pending[mark] : nullptr;
}

bool takeFlaggedWakeup(SharedEventState &state, SharedBell &bell, uint32_t mark,
                       const PendingWakeup &pending) {
    if (mark >= kBellMarks || pending.others > 0)
        return takeWakeup(state, pending);
    bell.pending[mark].store(0);
    const bool taken = takeWakeup(state, pending);
    if (hasWakeup(state)) {
        bell.pending[mark].store(1);
        ringLanes(state, bell);
    }
    return taken;
}

uint32_t beginSleep(WakeChannel &channel) {
    channel.sleepers.fetch_add(1);
    return renewSleep(channel);
}

uint32_t renewSleep(WakeChannel &channel) {
    return channel.changes.fetch_and(~kRungBit) & ~kRungBit;
}

void endSleep(WakeChannel &channel) {
    channel.sleepers.fetch_sub(1);
}

void sleepOnWords(const SleepWord *words, size_t count, uint64_t deadlineNs) {
    if (count == 0)
        return;
    if (count == 1) {
        sleepOnWord(words[0], deadlineNs);
        return;
    }
    futex_waitv waiters[FUTEX_WAITV_MAX] = {};
    count = std::min<size_t>(count, FUTEX_WAITV_MAX);
    for (size_t i = 0; i < count; ++i) {
        waiters[i].val = words[i].seen;
        waiters[i].uaddr = reinterpret_cast<uintptr_t>(futexAddress(words[i].word));
        waiters[i].flags = FUTEX_32 | (words[i].shared ? 0 : FUTEX_PRIVATE_FLAG);
    }
    const timespec at = absoluteTime(deadlineNs);
    if (syscall(SYS_futex_waitv, waiters, static_cast<unsigned>(count), 0,
                deadlineNs != 0 ? &at : nullptr, CLOCK_MONOTONIC) >= 0 ||
        errno != ENOSYS)
        return;
    const uint64_t slice = monotonicNanoseconds() + kFallbackSliceNs;
    sleepOnWord(words[0], deadlineNs != 0 ? std::min(deadlineNs, slice) : slice);
}

} // namespace trax::platform
