// Opening and closing paths: each path is a device handle of the platform layer, and the
// path number is that handle's value.
#include <cstring>

#include "sim_direct.h"
#include "sim_kernel.h"
#include "sim_path.h"

namespace sim {

namespace {

// The last call on the path is over: the device state may go when it was the last path.
// A direct call may still be reading the path when the handle was closed by CloseHandle
// rather than M_close, so the path leaves the direct-call table first in any case.
void release_path(void *context) {
    auto *path = static_cast<Path *>(context);
    if (withdraw_path(*path)) {
        wait_for_direct_calls();
    }
    path->device->semaphore().forget(path);
    path->device->remove_user();
    delete path;
}

Status check_device_name(const char *deviceName) {
    if (deviceName == nullptr) {
        return ERR_MK_ILL_PARAM;
    }
    const std::size_t length = strnlen(deviceName, kMaxNameLength + 1);
    if (length > kMaxNameLength) {
        return ERR_MK_NAME_TOO_LONG;
    }
    return length == 0 ? ERR_MK_NO_DEVICE : ERR_SUCCESS;
}

Injection open_injection(Device &device) {
    std::lock_guard lock(device.mutex());
    return device.inject(DeviceCall::Open, 0);
}

void count_path(Device &device, int32_t change) {
    std::lock_guard lock(device.mutex());
    device.path_count() += change;
    if (device.path_count() == 0) {
        device.driver().last_path_closed();
    }
}

Status make_path(const std::shared_ptr<Device> &device, int32_t *path) {
    auto context = std::make_unique<Path>();
    context->device = device;
    count_path(*device, +1);
    HANDLE handle = TraxCreateDeviceHandle(path_ioctl, release_path, context.get());
    if (handle == nullptr) {
        count_path(*device, -1);
        return ERR_MK_PATHS_FULL;
    }
    const intptr_t number = reinterpret_cast<intptr_t>(handle);
    if (number <= 0 || number > INT32_MAX) {
        // Cannot happen with the platform's small handle numbers; refuse rather than
        // hand out a path number that does not name the handle.
        CloseHandle(handle);
        count_path(*device, -1);
        return ERR_MK_PATHS_FULL;
    }
    {
        std::lock_guard lock(device->mutex());
        Path *made = context.release();
        made->handle = handle;
        if (!made->closed) {
            publish_path(static_cast<int32_t>(number), *made);
        }
    }
    *path = static_cast<int32_t>(number);
    return ERR_SUCCESS;
}

} // namespace

Status open_path(const char *deviceName, int32_t *path) {
    if (Status status = check_device_name(deviceName)) {
        return status;
    }
    std::shared_ptr<Device> device = Catalogue::device(deviceName);
    if (!device) {
        return ERR_MK_NO_DEVICE;
    }
    // The path holds the device state from here on; without a path it lets it go.
    if (Status status = device->add_user()) {
        return status;
    }
    const Injection injection = open_injection(*device);
    const Status status = injection.error != 0 ? injection.error : make_path(device, path);
    if (status != ERR_SUCCESS) {
        device->remove_user();
    }
    delay_ms(injection.delayMs);
    return status;
}

// A close that a fault rule fails keeps the path open. Otherwise the path is marked closed
// (so calls in progress on other threads see it), the device semaphore is given back if
// the path held it, and the handle is closed; the platform frees the context after the
// last call on it has returned.
Status close_path(int32_t path) {
    HANDLE handle = nullptr;
    Status status = with_rules(path, DeviceCall::Close, 0, [&](Path &p) -> Status {
        p.closed = true;
        withdraw_path(p);
        handle = p.handle;
        p.device->semaphore().abandon(&p);
        if (--p.device->path_count() == 0) {
            p.device->driver().last_path_closed();
        }
        return ERR_SUCCESS;
    });
    if (status == ERR_SUCCESS) {
        CloseHandle(handle);
    }
    return status;
}

} // namespace sim
