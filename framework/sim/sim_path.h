// An open path: the device it leads to and the path's own state.
#ifndef TRAX_SIM_PATH_H
#define TRAX_SIM_PATH_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "sim_delay.h"
#include "sim_device.h"
#include "trax_errors.h"
#include "trax_win32.h"

namespace sim {

/// Context of one device handle. Its fields other than device, handle and number are
/// used with the device's mutex held; direct calls read only the channel they may use.
struct Path {
    static constexpr uint32_t kMagic = 0x50415448; // marks contexts made by this kernel

    uint32_t magic = kMagic;
    std::shared_ptr<Device> device;
    HANDLE handle = nullptr;
    int32_t number = 0; ///< the path number, once entered in the direct-call table
    int32_t channel = 0;
    int32_t ioMode = 0;
    bool closed = false;

    void set_channel(int32_t value) {
        channel = value;
        update_direct_channel();
    }
    void set_io_mode(int32_t value) {
        ioMode = value;
        update_direct_channel();
    }
    /// The channel a direct call may use, or -1 while each transfer moves the channel on.
    int32_t direct_channel() const { return directChannel_.load(std::memory_order_relaxed); }

  private:
    void update_direct_channel() {
        directChannel_.store(ioMode == 0 ? channel : -1, std::memory_order_relaxed);
    }

    std::atomic<int32_t> directChannel_{0};
};

/// Runs f(path) while the platform holds a reference to the path's device handle, so a
/// concurrent close cannot free it; ERR_MK_ILL_PATH for anything that is not an open
/// path of this kernel.
template <class F> Status with_path(int32_t path, F &&f) {
    if (path <= 0) {
        return ERR_MK_ILL_PATH;
    }
    struct Call {
        F *f;
        Status status;
    } call{&f, ERR_MK_ILL_PATH};
    auto run = [](void *context, void *arg) -> BOOL {
        auto *p = static_cast<Path *>(context);
        auto *c = static_cast<Call *>(arg);
        if (p == nullptr || p->magic != Path::kMagic) {
            return FALSE;
        }
        c->status = (*c->f)(*p);
        return TRUE;
    };
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(path));
    if (!TraxWithDevice(handle, run, &call)) {
        return ERR_MK_ILL_PATH;
    }
    return call.status;
}

/// As with_path, with the device's mutex held and closed paths refused.
template <class F> Status with_open_path(int32_t path, F &&f) {
    return with_path(path, [&](Path &p) -> Status {
        std::lock_guard lock(p.device->mutex());
        if (p.closed) {
            return ERR_MK_ILL_PATH;
        }
        return f(p);
    });
}

/// As with_open_path, for a call that the device's fault rules see first: a rule's error
/// fails the call before f runs, and a rule's delay is served before the call returns,
/// with the device released meanwhile. code is the status code of a status call.
template <class F> Status with_rules(int32_t path, DeviceCall call, int32_t code, F &&f) {
    Injection injection;
    const Status status = with_open_path(path, [&](Path &p) -> Status {
        const bool onChannel = call == DeviceCall::Read || call == DeviceCall::Write;
        injection = p.device->inject(call, onChannel ? p.channel : code);
        return injection.error != 0 ? injection.error : f(p);
    });
    delay_ms(injection.delayMs);
    return status;
}

/// I/O control on a path: device semaphore and delay.
BOOL path_ioctl(void *context, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                LPDWORD bytesReturned);

} // namespace sim

#endif
