// The callbacks of one device handle, shared by the POSIX and the Windows platform layer:
// the I/O-control handler that DeviceIoControl reaches and the release callback that runs
// once, when the last reference to the closed handle goes away (this object's end).
#ifndef TRAX_PLATFORM_DEVICE_CALLBACKS_H
#define TRAX_PLATFORM_DEVICE_CALLBACKS_H

#include "trax_win32.h"

namespace trax::platform {

class DeviceCallbacks {
  public:
    DeviceCallbacks(TRAX_DEVICE_IOCTL ioctl, TRAX_DEVICE_RELEASE release, void *context) noexcept
        : ioctl_(ioctl), release_(release), context_(context) {}
    DeviceCallbacks(const DeviceCallbacks &) = delete;
    DeviceCallbacks &operator=(const DeviceCallbacks &) = delete;

    ~DeviceCallbacks() {
        if (release_ != nullptr)
            release_(context_);
    }

    /// Calls the handler; bytesReturned may be null and is zeroed first.
    BOOL control(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                 LPDWORD bytesReturned) const {
        DWORD ignored = 0;
        LPDWORD returned = bytesReturned != nullptr ? bytesReturned : &ignored;
        *returned = 0;
        return ioctl_(context_, code, in, inSize, out, outSize, returned);
    }

    void *context() const noexcept { return context_; }

    /// Forgets the release callback, for a device that never got a handle.
    void disarmRelease() noexcept { release_ = nullptr; }

  private:
    TRAX_DEVICE_IOCTL ioctl_;
    TRAX_DEVICE_RELEASE release_;
    void *context_;
};

} // namespace trax::platform

#endif
