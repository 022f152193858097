// Device handles: the framework registers each open path with its own I/O-control handler.
// Every call on a device holds a reference for its whole duration, so a handler may block
// for as long as it likes while another thread closes the handle; the release callback
// runs once, after the last reference has gone.
#include "device_callbacks.h"
#include "handles.h"

namespace trax::platform {
namespace {

class DeviceObject final : public KernelObject {
  public:
    static constexpr Kind kKind = Kind::device;

    DeviceObject(TRAX_DEVICE_IOCTL ioctl, TRAX_DEVICE_RELEASE release, void *context) noexcept
        : KernelObject(kKind), callbacks_(ioctl, release, context) {}

    BOOL control(DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                 LPDWORD bytesReturned) const {
        return callbacks_.control(code, in, inSize, out, outSize, bytesReturned);
    }

    void *context() const noexcept { return callbacks_.context(); }

    /// Forgets the release callback, for a device that never got a handle.
    void disarmRelease() noexcept { callbacks_.disarmRelease(); }

  private:
    DeviceCallbacks callbacks_;
};

} // namespace
} // namespace trax::platform

using namespace trax::platform;

HANDLE WINAPI TraxCreateDeviceHandle(TRAX_DEVICE_IOCTL ioctl, TRAX_DEVICE_RELEASE release,
                                     void *context) {
    if (ioctl == nullptr)
        return failHandle(ERROR_INVALID_PARAMETER);
    return trax::guardEntry(
        [&] {
            auto device = std::make_shared<DeviceObject>(ioctl, release, context);
            HANDLE handle = insertHandle(device);
            // Without a handle the context stays the caller's: it must not be released.
            if (handle == nullptr)
                device->disarmRelease();
            return handle;
        },
        handleOnFault);
}

BOOL WINAPI TraxWithDevice(HANDLE handle, BOOL (*fn)(void *context, void *arg), void *arg) {
    auto device = findHandleOf<DeviceObject>(handle);
    if (!device)
        return FALSE;
    if (fn == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    return fn(device->context(), arg);
}

BOOL WINAPI DeviceIoControl(HANDLE handle, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize,
                            LPVOID outBuffer, DWORD outBufferSize, LPDWORD bytesReturned,
                            LPOVERLAPPED overlapped) {
    auto device = findHandleOf<DeviceObject>(handle);
    if (!device)
        return FALSE;
    // Overlapped (asynchronous) I/O is not offered.
    if (overlapped != nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    return device->control(ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize,
                           bytesReturned);
}
