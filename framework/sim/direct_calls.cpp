// Direct M_read/M_write calls and the waiting that makes freeing their paths safe.
#include <atomic>
#include <thread>

#include "sim_direct.h"
#include "sim_drivers.h"
#include "sim_path.h"

namespace sim {

namespace {

// A thread's mark: its count of direct calls begun and ended, odd while it is inside one.
// Only its thread writes it, so marking costs two plain stores to a line of its own. The
// records form a list that only grows (a closing thread may walk it at any time); the
// record of an ended thread is taken over by the next new thread.
struct alignas(64) CallRecord {
    std::atomic<uint32_t> calls{0};
    std::atomic<bool> taken{true};
    CallRecord *next = nullptr;
};

constinit std::atomic<CallRecord *> records{nullptr};
constinit std::atomic<Path *> table[kDirectPaths]{};
// The thread's word sits at a fixed offset from the thread pointer rather than being looked
// up through a call on each use; a library loaded later with dlopen still finds room for
// one word there.
#if defined(__ELF__)
#define TRAX_FIXED_TLS [[gnu::tls_model("initial-exec")]]
#else
#define TRAX_FIXED_TLS
#endif
TRAX_FIXED_TLS constinit thread_local CallRecord *threadRecord = nullptr;

CallRecord *reuse_record() {
    for (CallRecord *r = records.load(std::memory_order_acquire); r != nullptr; r = r->next) {
        bool taken = false;
        if (r->taken.compare_exchange_strong(taken, true, std::memory_order_acquire)) {
            return r;
        }
    }
    return nullptr;
}

CallRecord *new_record() {
    auto *record = new CallRecord;
    CallRecord *head = records.load(std::memory_order_relaxed);
    do {
        record->next = head;
    } while (!records.compare_exchange_weak(head, record, std::memory_order_release,
                                            std::memory_order_relaxed));
    return record;
}

// Gives the thread's record back as the thread ends.
struct RecordReturn {
    ~RecordReturn() {
        if (threadRecord != nullptr) {
            threadRecord->taken.store(false, std::memory_order_release);
            threadRecord = nullptr;
        }
    }
};

[[gnu::noinline]] CallRecord &first_thread_record() {
    CallRecord *record = reuse_record();
    threadRecord = record != nullptr ? record : new_record();
    static thread_local RecordReturn giveBack;
    (void)giveBack;
    return *threadRecord;
}

// The path with this number if a direct call may move its channel's value, else null.
Path *direct_path(int32_t number, DeviceCall call) {
    Path *path = table[number].load(std::memory_order_acquire);
    if (path == nullptr || !path->device->direct_access(call)) {
        return nullptr;
    }
    return path;
}

bool in_table(int32_t number) {
    return number > 0 && number < kDirectPaths;
}

} // namespace

// The store that marks the thread need not be ordered before the loads that follow by a
// fence of its own: a closing thread's FlushProcessWriteBuffers does that on this thread's
// processor when it matters.
DirectCall::DirectCall()
    : calls_((threadRecord != nullptr ? *threadRecord : first_thread_record()).calls),
      count_(calls_.load(std::memory_order_relaxed) + 1) {
    calls_.store(count_, std::memory_order_relaxed);
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

void publish_path(int32_t number, Path &path) {
    if (in_table(number)) {
        path.number = number;
        table[number].store(&path, std::memory_order_release);
    }
}

bool withdraw_path(Path &path) {
    if (path.number == 0) {
        return false;
    }
    Path *expected = &path;
    table[path.number].compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
    return true;
}

void wait_for_direct_calls() {
    FlushProcessWriteBuffers();
    for (CallRecord *r = records.load(std::memory_order_acquire); r != nullptr; r = r->next) {
        const uint32_t seen = r->calls.load(std::memory_order_acquire);
        while ((seen & 1) != 0 && r->calls.load(std::memory_order_acquire) == seen) {
            std::this_thread::yield();
        }
    }
}

namespace {

// Runs move(device, channel) as a direct call on the path's current channel and keeps its
// outcome in status; false, without running it, when the path must take the ordinary way.
template <class F>
bool with_direct_channel(int32_t number, DeviceCall call, F &&move, Status &status) {
    if (!in_table(number)) {
        return false;
    }
    DirectCall inside;
    Path *path = direct_path(number, call);
    const int32_t channel = path != nullptr ? path->direct_channel() : -1;
    if (channel < 0) {
        return false;
    }
    status = move(*path->device, channel);
    return true;
}

} // namespace

bool direct_read(int32_t number, int32_t *value, Status &status) {
    return with_direct_channel(
        number, DeviceCall::Read,
        [&](Device &device, int32_t channel) -> Status {
            if (value == nullptr) {
                return ERR_MK_ILL_PARAM;
            }
            *value = channel_word(device.state(), channel).load(std::memory_order_relaxed);
            return ERR_SUCCESS;
        },
        status);
}

bool direct_write(int32_t number, int32_t value, Status &status) {
    return with_direct_channel(
        number, DeviceCall::Write,
        [&](Device &device, int32_t channel) -> Status {
            const int32_t kept = value & device.stored_bits();
            channel_word(device.state(), channel).store(kept, std::memory_order_relaxed);
            return ERR_SUCCESS;
        },
        status);
}

} // namespace sim
