// The device semaphore: one holder path at a time, among all processes that share the
// device. Its holder is recorded in the device state under the device's lock; waiters
// sleep on the state's change counter outside the lock, so other calls go on meanwhile.
// A holder whose process has ended counts as gone: waiters look at it again at least every
// kHolderCheckMs, since a dead process wakes nobody.
#include <algorithm>
#include <chrono>

#include "sim_device.h"
#include "trax_errors.h"

namespace sim {

namespace {

constexpr DWORD kHolderCheckMs = 100;

using Clock = std::chrono::steady_clock;

SemaphoreHolder holder_of(const void *owner) {
    SemaphoreHolder holder{};
    TraxGetProcessStamp(&holder.process);
    holder.path = reinterpret_cast<uintptr_t>(owner);
    return holder;
}

bool same_holder(const SemaphoreHolder &a, const SemaphoreHolder &b) {
    return a.process.processId == b.process.processId &&
           a.process.startTime == b.process.startTime && a.path == b.path;
}

bool is_free(const SemaphoreHolder &holder) {
    return holder.process.processId == 0 || !TraxIsProcessRunning(&holder.process);
}

// Milliseconds for the next sleep: up to the deadline, at most kHolderCheckMs.
DWORD next_sleep(int32_t timeoutMs, Clock::time_point deadline) {
    if (timeoutMs == -1) {
        return kHolderCheckMs;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<DWORD>(std::clamp<long long>(left + 1, 1, kHolderCheckMs));
}

} // namespace

bool DeviceSemaphore::is_abandoned(const void *owner) const {
    return std::find(abandoned_.begin(), abandoned_.end(), owner) != abandoned_.end();
}

Status DeviceSemaphore::try_take(const void *owner, LONG &seen) {
    std::lock_guard lock(state_);
    if (is_abandoned(owner)) {
        return ERR_MK_ILL_PATH;
    }
    SharedBlock &h = state_.block();
    if (is_free(h.holder)) {
        h.holder = holder_of(owner);
        return ERR_SUCCESS;
    }
    seen = h.semaphoreChanges;
    return ERR_MK_DEVSEM_TIMEOUT;
}

Status DeviceSemaphore::take(const void *owner, int32_t timeoutMs) {
    if (timeoutMs < -1) {
        return ERR_MK_ILL_PARAM;
    }
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        LONG seen = 0;
        const Status status = try_take(owner, seen);
        if (status != ERR_MK_DEVSEM_TIMEOUT) {
            return status;
        }
        if (timeoutMs != -1 && Clock::now() >= deadline) {
            return ERR_MK_DEVSEM_TIMEOUT;
        }
        TraxWaitOnSharedAddress(&state_.block().semaphoreChanges, seen,
                                next_sleep(timeoutMs, deadline));
    }
}

Status DeviceSemaphore::give(const void *owner) {
    std::lock_guard lock(state_);
    SharedBlock &h = state_.block();
    if (owner == nullptr || !same_holder(h.holder, holder_of(owner))) {
        return ERR_MK_DEVSEM_NOT_HELD;
    }
    h.holder = SemaphoreHolder{};
    state_.semaphore_changed();
    return ERR_SUCCESS;
}

void DeviceSemaphore::abandon(const void *owner) {
    std::lock_guard lock(state_);
    SharedBlock &h = state_.block();
    if (same_holder(h.holder, holder_of(owner))) {
        h.holder = SemaphoreHolder{};
    }
    abandoned_.push_back(owner);
    state_.semaphore_changed();
}

void DeviceSemaphore::forget(const void *owner) {
    std::lock_guard lock(state_);
    std::erase(abandoned_, owner);
}

} // namespace sim
