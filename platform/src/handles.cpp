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

#include <pthread.h>
#include <sched.h>

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

// ---- kept handle sets ----
//
// A thread's kept set holds the handles of its last HandleSetUse between its calls. While
// the thread is inside a call the set is "in call"; between calls it is "idle", and a
// CloseHandle of a handle that something holds claims every idle set and lets go of those
// that hold it. A call that ends marks its set idle and then looks whether a close has
// happened since it began: if one has, it lets go of its closed handles itself. Between the
// closer's count of closes and its look at the set's state, and the call's marking and its
// look at the count, one of the two always sees the other, so no closed handle stays held.

constexpr uint32_t kSetIdle = 0;
constexpr uint32_t kSetInCall = 1;
constexpr uint32_t kSetClaimed = 2;

// Threads that keep a set; the sets of any further threads live for one call only.
constexpr size_t kMaxKeptSets = 256;

struct KeptSet {
    std::atomic<uint32_t> state{kSetIdle};
    size_t entry = 0; // in the registry
    uint64_t closesSeen = 0;
    size_t count = 0;
    HANDLE handles[kMaxHandleSet] = {};
    KernelObject *objects[kMaxHandleSet] = {};
    HandleUse uses[kMaxHandleSet];
};

struct KeptSetRegistry {
    std::atomic<KeptSet *> sets[kMaxKeptSets] = {};
    // Closers walking the sets; a set is freed only when none is.
    std::atomic<uint32_t> walkers{0};
    // Closes of handles that something held at the time.
    std::atomic<uint64_t> closes{0};
};

constinit KeptSetRegistry keptSets;

// Holds that leave a set, let go only once the set is free again: an object that dies may
// close handles of its own, which comes back to the sets.
struct LeavingHolds {
    HandleUse uses[kMaxHandleSet];
    size_t count = 0;
};

void letGo(LeavingHolds &leaving) {
    for (size_t i = 0; i < leaving.count; ++i)
        leaving.uses[i] = HandleUse();
    leaving.count = 0;
}

void takeHoldsOut(KeptSet &set, LeavingHolds &leaving) {
    for (size_t i = 0; i < set.count; ++i)
        leaving.uses[leaving.count++] = std::move(set.uses[i]);
    set.count = 0;
}

// Marks the set in a call, waiting while a closer lets go of it; false when this thread is
// in a call with it already (a call made while an object dies inside another call).
bool enterSet(KeptSet &set) {
    for (;;) {
        uint32_t expected = kSetIdle;
        if (set.state.compare_exchange_strong(expected, kSetInCall))
            return true;
        if (expected == kSetInCall)
            return false;
        sched_yield();
    }
}

bool holdsStillOpen(const KeptSet &set, const HANDLE *handles, size_t count) {
    if (set.count != count)
        return false;
    for (size_t i = 0; i < count; ++i) {
        if (set.handles[i] != handles[i] || !set.uses[i].isOpen())
            return false;
    }
    return true;
}

bool holdsClosed(const KeptSet &set) {
    for (size_t i = 0; i < set.count; ++i) {
        if (!set.uses[i].isOpen())
            return true;
    }
    return false;
}

bool holdsHandle(const KeptSet &set, HANDLE handle) {
    for (size_t i = 0; i < set.count; ++i) {
        if (set.handles[i] == handle)
            return true;
    }
    return false;
}

// A forked child has only the thread that forked: no walker, and no other thread in a call.
void forgetOtherThreadsInChild() {
    keptSets.walkers.store(0);
    for (std::atomic<KeptSet *> &entry : keptSets.sets) {
        if (KeptSet *set = entry.load())
            set->state.store(kSetIdle);
    }
}

// The calling thread's kept set, made and registered on first use; null when there is no
// memory or no free entry.
class ThreadKeptSet {
  public:
    ~ThreadKeptSet() {
        if (set_ == nullptr)
            return;
        LeavingHolds leaving;
        enterSet(*set_);
        takeHoldsOut(*set_, leaving);
        keptSets.sets[set_->entry].store(nullptr);
        while (keptSets.walkers.load() != 0)
            sched_yield();
        delete set_;
    }

    KeptSet *get() {
        if (set_ == nullptr && !refused_)
            refused_ = !make();
        return set_;
    }

  private:
    bool make() {
        static const bool forkHandled =
            pthread_atfork(nullptr, nullptr, forgetOtherThreadsInChild) == 0;
        (void)forkHandled;
        auto *set = new (std::nothrow) KeptSet;
        if (set == nullptr)
            return false;
        for (size_t i = 0; i < kMaxKeptSets; ++i) {
            KeptSet *expected = nullptr;
            if (keptSets.sets[i].compare_exchange_strong(expected, set)) {
                set->entry = i;
                set_ = set;
                return true;
            }
        }
        delete set;
        return false;
    }

    KeptSet *set_ = nullptr;
    bool refused_ = false;
};

thread_local ThreadKeptSet threadKeptSet;

// Holds the handles in the thread's set, which is in a call; null (with the set emptied and
// the last error set) when one is not open. `same` tells whether the set held them already.
KernelObject *const *holdInKeptSet(KeptSet &set, const HANDLE *handles, size_t count, bool &same) {
    set.closesSeen = keptSets.closes.load();
    same = holdsStillOpen(set, handles, count);
    if (same)
        return set.objects;
    LeavingHolds leaving;
    takeHoldsOut(set, leaving);
    letGo(leaving);
    for (size_t i = 0; i < count; ++i) {
        HandleUse use(handles[i]);
        if (use.get() == nullptr) {
            takeHoldsOut(set, leaving);
            return nullptr;
        }
        set.handles[i] = handles[i];
        set.objects[i] = use.get();
        set.uses[i] = std::move(use);
        set.count = i + 1;
    }
    return set.objects;
}

// Ends the call of the thread's set; a close since its start may have met the set in the
// call and left it, so the call lets go of closed handles itself.
void leaveKeptSet(KeptSet &set) {
    set.state.store(kSetIdle);
    if (keptSets.closes.load() == set.closesSeen)
        return;
    LeavingHolds leaving;
    if (!enterSet(set))
        return;
    if (holdsClosed(set))
        takeHoldsOut(set, leaving);
    set.state.store(kSetIdle);
}

// Called by a close of a handle that something holds: lets go of every idle kept set that
// holds it.
void letKeptSetsGoOf(HANDLE handle) {
    keptSets.closes.fetch_add(1);
    LeavingHolds leaving;
    for (std::atomic<KeptSet *> &entry : keptSets.sets) {
        keptSets.walkers.fetch_add(1);
        KeptSet *set = entry.load();
        uint32_t expected = kSetIdle;
        if (set != nullptr && set->state.compare_exchange_strong(expected, kSetClaimed)) {
            if (holdsHandle(*set, handle))
                takeHoldsOut(*set, leaving);
            set->state.store(kSetIdle);
        }
        keptSets.walkers.fetch_sub(1);
        letGo(leaving);
    }
}

} // namespace

HandleSetUse::HandleSetUse(const HANDLE *handles, size_t count) noexcept {
    if (count > kMaxHandleSet) {
        fail(ERROR_INVALID_PARAMETER);
        return;
    }
    KeptSet *set = threadKeptSet.get();
    if (set != nullptr && enterSet(*set)) {
        objects_ = holdInKeptSet(*set, handles, count, same_);
        kept_ = objects_ != nullptr;
        if (!kept_) {
            set->state.store(kSetIdle);
            fail(ERROR_INVALID_HANDLE); // after the holds let go, whose objects may set errors
        }
        return;
    }
    uses_.emplace();
    for (size_t i = 0; i < count; ++i) {
        (*uses_)[i] = HandleUse(handles[i]);
        own_[i] = (*uses_)[i].get();
        if (own_[i] == nullptr)
            return;
    }
    objects_ = own_.data();
}

HandleSetUse::~HandleSetUse() {
    if (kept_)
        leaveKeptSet(*threadKeptSet.get());
}

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

bool HandleUse::isOpen() const noexcept {
    return object_ != nullptr &&
           (table.slots[slot_].state.load(std::memory_order_acquire) & kLive) != 0;
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
    else
        letKeptSetsGoOf(handle);
    return true;
}

} // namespace trax::platform

BOOL WINAPI CloseHandle(HANDLE handle) {
    return trax::platform::removeHandle(handle) ? TRUE : FALSE;
}

BOOL WINAPI TraxSetInternalHandles(BOOL internal) {
    return std::exchange(trax::platform::makingInternal, internal != FALSE) ? TRUE : FALSE;
}
