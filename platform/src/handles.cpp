// The process-wide handle table: a fixed array of slots, one per handle value (slot index
// + 1). New handles take the next free slot after the last one handed out, so the value of
// a closed handle is not reused at once and a stale handle is more likely to fail cleanly.
//
// Finding the object of a live handle takes no lock: each slot has one atomic state word
// with a live flag, the number of calls holding the slot in use and a generation that
// changes each time the slot is emptied. A call enters with one compare-and-swap that
// succeeds only while the handle is live and the generation unchanged, and leaves with one
// decrement. Closing clears the live flag; whoever leaves the slot last (the closer, or
// the last call in progress) empties it. Calls on different handles touch different cache
// lines, so threads working on different devices do not slow each other down.
//
// Objects the framework makes for itself (a device's shared state and lock) take their
// handles from a range of values above all others, with a cursor of its own, so that they
// never shift the handle numbers a program sees.
#include "handles.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <new>

namespace trax::platform {
namespace {

constexpr uint64_t kUsersMask = (uint64_t{1} << 30) - 1;
constexpr uint64_t kLive = uint64_t{1} << 30;  // the handle is open
constexpr uint64_t kTaken = uint64_t{1} << 31; // the slot holds an object (open or closing)
constexpr int kGenerationShift = 32;

struct alignas(64) Slot {
    std::atomic<uint64_t> state{0};
    KernelObject *object = nullptr;
    // The table's reference; boxed so that a slot has a trivial destructor.
    std::shared_ptr<KernelObject> *owner = nullptr;
};

// Constant-initialised and trivially destructible: it needs no start-up code, its pages
// are touched only as handles are used, and it stays valid while detached threads use
// handles during the process's exit.
struct HandleTable {
    std::mutex insertLock;               // serialises the choice of a free slot
    size_t cursor[2] = {0, kMaxHandles}; // next slot to try, for program and internal handles
    Slot slots[kMaxHandles + kMaxInternalHandles];
};

constinit HandleTable table;

// Set while the thread makes objects for the framework's own use.
constinit thread_local bool makingInternal = false;

constexpr size_t kNoSlot = static_cast<size_t>(-1);

bool isFree(const Slot &slot) {
    return (slot.state.load(std::memory_order_acquire) & kTaken) == 0;
}

// Picks a free slot in [begin, end): first from the cursor on, then from begin.
size_t pickFreeSlot(size_t begin, size_t end, size_t &cursor) {
    for (size_t i = cursor; i < end; ++i) {
        if (isFree(table.slots[i]))
            return i;
    }
    for (size_t i = begin; i < cursor; ++i) {
        if (isFree(table.slots[i]))
            return i;
    }
    return kNoSlot;
}

// Slot index of a handle value, or kNoSlot for NULL, INVALID_HANDLE_VALUE and values
// beyond the table.
size_t slotOf(HANDLE handle) {
    const auto value = reinterpret_cast<uintptr_t>(handle);
    if (value == 0 || value > kMaxHandles + kMaxInternalHandles)
        return kNoSlot;
    return value - 1;
}

// Empties a closed slot that no call holds any more; state is its current state. The
// object dies here, outside any lock, because destroying it may run a device's release
// callback.
void emptySlot(Slot &slot, uint64_t state) {
    std::shared_ptr<KernelObject> *owner = slot.owner;
    slot.owner = nullptr;
    slot.object = nullptr;
    const uint64_t nextGeneration = (state >> kGenerationShift) + 1;
    slot.state.store(nextGeneration << kGenerationShift, std::memory_order_release);
    delete owner;
}

// Enters a live slot; false when the handle is not open (or, absurdly, held by 2^30
// calls at once).
bool enter(Slot &slot) {
    uint64_t state = slot.state.load(std::memory_order_acquire);
    do {
        if ((state & kLive) == 0 || (state & kUsersMask) == kUsersMask)
            return false;
    } while (!slot.state.compare_exchange_weak(state, state + 1, std::memory_order_acquire,
                                               std::memory_order_acquire));
    return true;
}

void leave(Slot &slot) {
    const uint64_t before = slot.state.fetch_sub(1, std::memory_order_acq_rel);
    if ((before & kUsersMask) == 1 && (before & kLive) == 0)
        emptySlot(slot, before - 1);
}

} // namespace

DWORD KernelObject::waitFor(const Deadline &) {
    return failWait(ERROR_INVALID_HANDLE);
}

HandleUse::HandleUse(HANDLE handle) noexcept {
    const size_t slot = slotOf(handle);
    if (slot == kNoSlot || !enter(table.slots[slot])) {
        fail(ERROR_INVALID_HANDLE);
        return;
    }
    slot_ = slot;
    object_ = table.slots[slot].object;
}

void HandleUse::letGo() noexcept {
    if (object_ != nullptr)
        leave(table.slots[slot_]);
    object_ = nullptr;
}

HANDLE insertHandle(std::shared_ptr<KernelObject> object) {
    auto *owner = new (std::nothrow) std::shared_ptr<KernelObject>(std::move(object));
    if (owner == nullptr)
        return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    std::lock_guard guard(table.insertLock);
    const size_t begin = makingInternal ? kMaxHandles : 0;
    const size_t end = makingInternal ? kMaxHandles + kMaxInternalHandles : kMaxHandles;
    size_t &cursor = table.cursor[makingInternal ? 1 : 0];
    const size_t index = pickFreeSlot(begin, end, cursor);
    if (index == kNoSlot) {
        delete owner;
        return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    }
    Slot &slot = table.slots[index];
    slot.owner = owner;
    slot.object = owner->get();
    const uint64_t state = slot.state.load(std::memory_order_relaxed);
    slot.state.store(state | kTaken | kLive, std::memory_order_release);
    cursor = index + 1 < end ? index + 1 : begin;
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(index + 1));
}

bool removeHandle(HANDLE handle) {
    const size_t index = slotOf(handle);
    if (index == kNoSlot)
        return fail(ERROR_INVALID_HANDLE);
    Slot &slot = table.slots[index];
    uint64_t state = slot.state.load(std::memory_order_acquire);
    do {
        if ((state & kLive) == 0)
            return fail(ERROR_INVALID_HANDLE);
    } while (!slot.state.compare_exchange_weak(state, state & ~kLive, std::memory_order_acq_rel,
                                               std::memory_order_acquire));
    if ((state & kUsersMask) == 0)
        emptySlot(slot, state & ~kLive);
    return true;
}

} // namespace trax::platform

BOOL WINAPI CloseHandle(HANDLE handle) {
    return trax::platform::removeHandle(handle) ? TRUE : FALSE;
}

BOOL WINAPI TraxSetInternalHandles(BOOL internal) {
    return std::exchange(trax::platform::makingInternal, internal != FALSE) ? TRUE : FALSE;
}
