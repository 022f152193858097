// Device handles on Windows. Each path of the simulated framework is a real handle (of a
// small unnamed section the platform owns), so its value is unique in the process and
// CloseHandle and the like treat it as any other handle. The platform remembers
// which handles are devices: DeviceIoControl on one of them reaches the framework's
// handler, on any other handle it goes on to Windows. Every call on a device holds a
// reference for its whole duration; the release callback runs once, after the handle has
// been closed and the last call has returned.
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "device_callbacks.h"
#include "trax_win32.h"

namespace {

using Device = trax::platform::DeviceCallbacks;

struct DeviceTable {
    std::mutex lock;
    std::map<HANDLE, std::shared_ptr<Device>> devices;
};

// Never destroyed: device handles may still be closed while the process ends.
DeviceTable &table() {
    static DeviceTable *const instance = new DeviceTable;
    return *instance;
}

std::shared_ptr<Device> find(HANDLE handle) {
    DeviceTable &t = table();
    std::lock_guard guard(t.lock);
    auto it = t.devices.find(handle);
    return it != t.devices.end() ? it->second : nullptr;
}

// Removes handle from the table; the device lives on while calls still hold it.
std::shared_ptr<Device> take(HANDLE handle) {
    DeviceTable &t = table();
    std::lock_guard guard(t.lock);
    auto it = t.devices.find(handle);
    if (it == t.devices.end())
        return nullptr;
    std::shared_ptr<Device> device = std::move(it->second);
    t.devices.erase(it);
    return device;
}

// The object behind a device handle: a one-byte section of the paging file. A section
// cannot be waited on; with the right to synchronise, a wait on it fails with
// ERROR_INVALID_HANDLE, as a wait on a device of the platform on POSIX does.
HANDLE CreateKernelObject() {
    HANDLE section =
        CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READONLY, 0, 1, nullptr);
    if (section == nullptr)
        return nullptr;
    HANDLE process = GetCurrentProcess();
    HANDLE handle = nullptr;
    if (!DuplicateHandle(process, section, process, &handle, SYNCHRONIZE | SECTION_QUERY, FALSE,
                         DUPLICATE_CLOSE_SOURCE))
        return nullptr;
    return handle;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

HANDLE WINAPI TraxCreateDeviceHandle(TRAX_DEVICE_IOCTL ioctl, TRAX_DEVICE_RELEASE release,
                                     void *context) {
    if (ioctl == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HANDLE handle = CreateKernelObject();
    if (handle == nullptr)
        return nullptr;
    std::shared_ptr<Device> device;
    try {
        device = std::make_shared<Device>(ioctl, release, context);
        DeviceTable &t = table();
        std::lock_guard guard(t.lock);
        t.devices.emplace(handle, device);
        return handle;
    } catch (const std::bad_alloc &) {
        // Without a handle the context stays the caller's: it must not be released.
        if (device)
            device->disarmRelease();
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

BOOL WINAPI TraxWithDevice(HANDLE handle, BOOL (*fn)(void *context, void *arg), void *arg) {
    std::shared_ptr<Device> device = find(handle);
    if (!device)
        return fail(ERROR_INVALID_HANDLE);
    if (fn == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    return fn(device->context(), arg);
}

BOOL WINAPI TraxDeviceIoControl(HANDLE handle, DWORD ioControlCode, LPVOID inBuffer,
                                DWORD inBufferSize, LPVOID outBuffer, DWORD outBufferSize,
                                LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
    std::shared_ptr<Device> device = find(handle);
    if (!device)
        return DeviceIoControl(handle, ioControlCode, inBuffer, inBufferSize, outBuffer,
                               outBufferSize, bytesReturned, overlapped);
    // Overlapped (asynchronous) I/O is not offered by the simulated framework.
    if (overlapped != nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    return device->control(ioControlCode, inBuffer, inBufferSize, outBuffer, outBufferSize,
                           bytesReturned);
}

// The handle leaves the table before Windows closes it, so that a new handle with the same
// value can never be mistaken for the old device.
BOOL WINAPI TraxCloseHandle(HANDLE handle) {
    std::shared_ptr<Device> device = take(handle);
    return CloseHandle(handle);
}
