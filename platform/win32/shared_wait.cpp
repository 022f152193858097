// Waiting on a word of shared memory across processes. WaitOnAddress only wakes threads of
// the same process, so each waiting thread has a named wake event of its own and puts its
// name (process and thread id) into a slot of a table that all processes of the session
// map; a wake sets the event of every thread in the table. A waker cannot tell which
// address a thread of another process waits on (each process maps the word elsewhere), so
// every waiter wakes and re-checks its word.
#include <cstdio>

#include "trax_win32.h"

namespace {

constexpr LONG kSlots = 1024;
// Waiting threads beyond the table's size look at their word again this often.
constexpr DWORD kOverflowCheckMs = 10;
constexpr const char *kTableName = "Local\\trax-shared-address-waiters";

using WaiterTable = volatile LONG64[kSlots];

LONG64 waiterKey(DWORD processId, DWORD threadId) {
    return static_cast<LONG64>((static_cast<ULONGLONG>(processId) << 32) | threadId);
}

void eventName(LONG64 key, char (&name)[64]) {
    std::snprintf(name, sizeof name, "Local\\trax-address-waiter-%lu-%lu",
                  static_cast<unsigned long>(static_cast<ULONGLONG>(key) >> 32),
                  static_cast<unsigned long>(key & 0xFFFFFFFF));
}

// The table, mapped once for the life of the process (null if it cannot be made).
WaiterTable *table() {
    static WaiterTable *const mapped = []() -> WaiterTable * {
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            sizeof(WaiterTable), kTableName);
        if (mapping == nullptr)
            return nullptr;
        void *view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(WaiterTable));
        CloseHandle(mapping); // the view keeps the section alive
        return static_cast<WaiterTable *>(view);
    }();
    return mapped;
}

// The calling thread's wake event, made on its first wait and closed when it ends.
class ThreadWakeEvent {
  public:
    ~ThreadWakeEvent() {
        if (event_ != nullptr)
            CloseHandle(event_);
    }
    HANDLE get() {
        if (event_ == nullptr) {
            char name[64];
            eventName(waiterKey(GetCurrentProcessId(), GetCurrentThreadId()), name);
            event_ = CreateEventA(nullptr, FALSE, FALSE, name);
        }
        return event_;
    }

  private:
    HANDLE event_ = nullptr;
};

thread_local ThreadWakeEvent wakeEvent;

// Claims a free slot for key; -1 when the table is full.
LONG claimSlot(WaiterTable &slots, LONG64 key) {
    for (LONG i = 0; i < kSlots; ++i) {
        if (InterlockedCompareExchange64(&slots[i], key, 0) == 0)
            return i;
    }
    return -1;
}

BOOL waitResult(DWORD rc) {
    if (rc == WAIT_OBJECT_0)
        return TRUE;
    SetLastError(rc == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError());
    return FALSE;
}

// Sets the wake event of the thread in a slot; a slot whose thread has ended (its event
// went with its process) is freed.
void wakeSlot(volatile LONG64 &slot) {
    const LONG64 key = InterlockedCompareExchange64(&slot, 0, 0);
    if (key == 0)
        return;
    char name[64];
    eventName(key, name);
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (event == nullptr) {
        InterlockedCompareExchange64(&slot, 0, key);
        return;
    }
    SetEvent(event);
    CloseHandle(event);
}

} // namespace

BOOL WINAPI TraxWaitOnSharedAddress(volatile LONG *address, LONG unchanged, DWORD ms) {
    if (address == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    WaiterTable *slots = table();
    HANDLE event = wakeEvent.get();
    const LONG slot =
        slots != nullptr && event != nullptr
            ? claimSlot(*slots, waiterKey(GetCurrentProcessId(), GetCurrentThreadId()))
            : -1;
    if (slot < 0) {
        // No way to be woken: look at the word again after a short while.
        const DWORD pause = ms < kOverflowCheckMs ? ms : kOverflowCheckMs;
        Sleep(pause);
        return *address != unchanged || pause < ms ? TRUE : waitResult(WAIT_TIMEOUT);
    }
    // Listed before the word is read: a change made after this read is followed by a wake
    // that finds the slot.
    const DWORD rc = *address != unchanged ? WAIT_OBJECT_0 : WaitForSingleObject(event, ms);
    InterlockedExchange64(&(*slots)[slot], 0);
    return waitResult(rc);
}

void WINAPI TraxWakeSharedAddress(volatile LONG *address) {
    WaiterTable *slots = table();
    if (address == nullptr || slots == nullptr)
        return;
    MemoryBarrier(); // the caller's change is visible before the slots are read
    for (LONG i = 0; i < kSlots; ++i)
        wakeSlot((*slots)[i]);
}
