/* The device semaphore: one holder path at a time, timed waits on the monotonic clock. */
#include <algorithm>
#include <chrono>

#include "sim_device.h"
#include "trax_errors.h"

namespace sim {

Status DeviceSemaphore::take(const void *owner, int32_t timeoutMs) {
    if (timeoutMs < -1) {
        return ERR_MK_ILL_PARAM;
    }
    std::unique_lock lock(mutex_);
    auto abandoned = [&] {
        return std::find(abandoned_.begin(), abandoned_.end(), owner) != abandoned_.end();
    };
    auto ready = [&] { return holder_ == nullptr || abandoned(); };
    if (timeoutMs == -1) {
        changed_.wait(lock, ready);
    } else {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!changed_.wait_until(lock, deadline, ready)) {
            return ERR_MK_DEVSEM_TIMEOUT;
        }
    }
    if (abandoned()) {
        return ERR_MK_ILL_PATH;
    }
    holder_ = owner;
    return ERR_SUCCESS;
}

Status DeviceSemaphore::give(const void *owner) {
    std::lock_guard lock(mutex_);
    if (holder_ != owner || owner == nullptr) {
        return ERR_MK_DEVSEM_NOT_HELD;
    }
    holder_ = nullptr;
    changed_.notify_all();
    return ERR_SUCCESS;
}

void DeviceSemaphore::abandon(const void *owner) {
    std::lock_guard lock(mutex_);
    if (holder_ == owner) {
        holder_ = nullptr;
    }
    abandoned_.push_back(owner);
    changed_.notify_all();
}

void DeviceSemaphore::forget(const void *owner) {
    std::lock_guard lock(mutex_);
    std::erase(abandoned_, owner);
}

} // namespace sim
