/* The process-wide handle table. Handle values are small positive integers (slot index + 1).
 * New handles take the next free slot after the last one handed out, so the value of a
 * closed handle is not reused at once and a stale handle is more likely to fail cleanly. */
#include "handles.h"

#include <mutex>
#include <new>
#include <vector>

namespace trax::platform {
namespace {

struct HandleTable {
    std::mutex lock;
    std::vector<std::shared_ptr<KernelObject>> slots;
    size_t cursor = 0;
};

/* Never destroyed: detached threads may still use handles while the process exits. It
 * lives in static storage, so making it cannot fail for want of memory: insertHandle must
 * never throw, since a device whose creation throws would release its caller's context. */
HandleTable &table() {
    alignas(HandleTable) static unsigned char storage[sizeof(HandleTable)];
    static HandleTable *const instance = new (storage) HandleTable;
    return *instance;
}

constexpr size_t kNoSlot = static_cast<size_t>(-1);

/* Picks a free slot: first after the cursor, then a new one, then from the start. */
size_t pickFreeSlot(HandleTable &t) {
    for (size_t i = t.cursor; i < t.slots.size(); ++i) {
        if (!t.slots[i])
            return i;
    }
    if (t.slots.size() < kMaxHandles) {
        try {
            t.slots.emplace_back();
            return t.slots.size() - 1;
        } catch (const std::bad_alloc &) {
            // Without memory for a new slot, a free one further down may still serve.
        }
    }
    for (size_t i = 0; i < t.cursor && i < t.slots.size(); ++i) {
        if (!t.slots[i])
            return i;
    }
    return kNoSlot;
}

/* Slot index of a handle value, or kNoSlot for NULL, INVALID_HANDLE_VALUE and values
 * beyond the table. */
size_t slotOf(const HandleTable &t, HANDLE handle) {
    const auto value = reinterpret_cast<uintptr_t>(handle);
    if (value == 0 || value > t.slots.size())
        return kNoSlot;
    return value - 1;
}

} // namespace

DWORD KernelObject::waitFor(const Deadline &) {
    return failWait(ERROR_INVALID_HANDLE);
}

HANDLE insertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable &t = table();
    std::lock_guard guard(t.lock);
    const size_t slot = pickFreeSlot(t);
    if (slot == kNoSlot)
        return failHandle(ERROR_NOT_ENOUGH_MEMORY);
    t.slots[slot] = std::move(object);
    t.cursor = slot + 1;
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(slot + 1));
}

bool removeHandle(HANDLE handle) {
    std::shared_ptr<KernelObject> removed;
    {
        HandleTable &t = table();
        std::lock_guard guard(t.lock);
        const size_t slot = slotOf(t, handle);
        if (slot != kNoSlot)
            removed = std::move(t.slots[slot]);
    }
    /* The object, if this was its last reference, is destroyed here, outside the lock,
     * because destroying it may run a device's release callback. */
    if (!removed)
        return fail(ERROR_INVALID_HANDLE);
    return true;
}

std::shared_ptr<KernelObject> findHandle(HANDLE handle) {
    HandleTable &t = table();
    std::lock_guard guard(t.lock);
    const size_t slot = slotOf(t, handle);
    if (slot == kNoSlot || !t.slots[slot]) {
        fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return t.slots[slot];
}

} // namespace trax::platform

BOOL WINAPI CloseHandle(HANDLE handle) {
    return trax::platform::removeHandle(handle) ? TRUE : FALSE;
}
