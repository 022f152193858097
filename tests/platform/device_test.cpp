#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "trax_win32.h"

namespace {

// A fake device: records what reached it; code 2 blocks until `unblock` is set.
struct FakeDevice {
    std::atomic<int> calls{0};
    std::atomic<int> releases{0};
    std::atomic<bool> blocking{false};
    std::atomic<bool> unblock{false};
    DWORD lastCode = 0;
    DWORD lastInSize = 0;
};

BOOL fakeIoctl(void *context, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
               LPDWORD bytesReturned) {
    auto *device = static_cast<FakeDevice *>(context);
    ++device->calls;
    device->lastCode = code;
    device->lastInSize = inSize;
    if (code == 2) {
        device->blocking = true;
        while (!device->unblock)
            Sleep(1);
    }
    if (code == 3) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (in != nullptr && out != nullptr && outSize >= inSize) {
        std::memcpy(out, in, inSize);
        *bytesReturned = inSize;
    }
    return TRUE;
}

void fakeRelease(void *context) {
    ++static_cast<FakeDevice *>(context)->releases;
}

TEST(DeviceHandles, IoControlReachesTheHandlerWithItsArguments) {
    FakeDevice device;
    HANDLE handle = TraxCreateDeviceHandle(fakeIoctl, fakeRelease, &device);
    ASSERT_NE(handle, nullptr);
    char in[4] = {'a', 'b', 'c', 'd'};
    char out[8] = {};
    DWORD returned = 99;
    EXPECT_TRUE(DeviceIoControl(handle, 7, in, 4, out, sizeof out, &returned, nullptr));
    EXPECT_EQ(device.lastCode, 7u);
    EXPECT_EQ(device.lastInSize, 4u);
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(std::memcmp(out, "abcd", 4), 0);

    EXPECT_TRUE(DeviceIoControl(handle, 8, nullptr, 0, nullptr, 0, nullptr, nullptr))
        << "bytesReturned may be null";
    SetLastError(0);
    EXPECT_FALSE(DeviceIoControl(handle, 3, nullptr, 0, nullptr, 0, &returned, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED)) << "handler's error kept";
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(device.releases.load(), 0);
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(device.releases.load(), 1);
    EXPECT_FALSE(DeviceIoControl(handle, 7, nullptr, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(device.releases.load(), 1);
}

TEST(DeviceHandles, OverlappedIoAndAMissingHandlerAreRefused) {
    FakeDevice device;
    SetLastError(0);
    EXPECT_EQ(TraxCreateDeviceHandle(nullptr, fakeRelease, &device), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(device.releases.load(), 0);

    HANDLE handle = TraxCreateDeviceHandle(fakeIoctl, nullptr, &device);
    ASSERT_NE(handle, nullptr);
    char overlapped[32] = {};
    SetLastError(0);
    EXPECT_FALSE(DeviceIoControl(handle, 1, nullptr, 0, nullptr, 0, nullptr,
                                 reinterpret_cast<LPOVERLAPPED>(overlapped)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(device.calls.load(), 0);
    EXPECT_TRUE(CloseHandle(handle)) << "a device without release callback closes fine";
}

TEST(DeviceHandles, CloseDuringABlockingCallReleasesAfterTheCallReturns) {
    FakeDevice device;
    HANDLE handle = TraxCreateDeviceHandle(fakeIoctl, fakeRelease, &device);
    ASSERT_NE(handle, nullptr);
    HANDLE caller = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            return DeviceIoControl(param, 2, nullptr, 0, nullptr, 0, nullptr, nullptr) ? 0 : 1;
        },
        handle, 0, nullptr);
    ASSERT_NE(caller, nullptr);
    for (int i = 0; i < 500 && !device.blocking; ++i)
        Sleep(2);
    ASSERT_TRUE(device.blocking);
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_EQ(device.releases.load(), 0) << "the call in progress still uses the context";
    device.unblock = true;
    EXPECT_EQ(WaitForSingleObject(caller, 5000), WAIT_OBJECT_0);
    CloseHandle(caller);
    EXPECT_EQ(device.releases.load(), 1);
}

TEST(DeviceHandles, WithDeviceRunsOnTheContextAndOnlyForDevices) {
    FakeDevice device;
    HANDLE handle = TraxCreateDeviceHandle(fakeIoctl, fakeRelease, &device);
    ASSERT_NE(handle, nullptr);
    int seen = 0;
    auto probe = [](void *context, void *arg) -> BOOL {
        *static_cast<int *>(arg) = static_cast<FakeDevice *>(context)->calls + 100;
        return TRUE;
    };
    EXPECT_TRUE(TraxWithDevice(handle, probe, &seen));
    EXPECT_EQ(seen, 100);

    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    SetLastError(0);
    EXPECT_FALSE(TraxWithDevice(event, probe, &seen));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(TraxWithDevice(nullptr, probe, &seen));
    EXPECT_FALSE(TraxWithDevice(handle, nullptr, nullptr));
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED) << "a device is not waitable";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);
    CloseHandle(handle);
    EXPECT_EQ(device.releases.load(), 1);
}

// A device that knows its owner: the handler answers with the owner's number and counts a
// call that reaches it after its release (which the address sanitizer reports as well).
struct OwnedDevice {
    int owner;
    std::atomic<bool> *reachedReleased;
    std::atomic<int> *releases;
    std::atomic<bool> released{false};
};

BOOL ownedIoctl(void *context, DWORD, LPVOID, DWORD, LPVOID out, DWORD outSize, LPDWORD returned) {
    auto *device = static_cast<OwnedDevice *>(context);
    if (device->released)
        *device->reachedReleased = true;
    if (out != nullptr && outSize >= sizeof(int)) {
        std::memcpy(out, &device->owner, sizeof(int));
        *returned = sizeof(int);
    }
    return TRUE;
}

void ownedRelease(void *context) {
    auto *device = static_cast<OwnedDevice *>(context);
    device->released = true;
    ++*device->releases;
    delete device;
}

// Owners open, use and close their own handles over and over while other threads call on
// whatever handle values were handed out lately: an owner's call always reaches its own
// device, a stray call reaches a live device or fails cleanly, and every device is released
// exactly once.
TEST(DeviceHandles, HandlesReopenedUnderConcurrentCallsNeverReachTheWrongOrAReleasedDevice) {
    constexpr int kOwners = 3;
    constexpr int kStrays = 2;
    constexpr int kRounds = 400;
    std::atomic<bool> reachedReleased{false};
    std::atomic<int> releases{0};
    std::atomic<int> wrongDevice{0};
    std::atomic<int> unclean{0};
    std::atomic<bool> stop{false};
    std::atomic<intptr_t> recent[kOwners] = {};
    std::vector<std::thread> threads;
    for (int owner = 0; owner < kOwners; ++owner) {
        threads.emplace_back([&, owner] {
            for (int round = 0; round < kRounds; ++round) {
                auto *device = new OwnedDevice{owner, &reachedReleased, &releases};
                HANDLE handle = TraxCreateDeviceHandle(ownedIoctl, ownedRelease, device);
                if (handle == nullptr) {
                    delete device;
                    ++unclean;
                    continue;
                }
                recent[owner] = reinterpret_cast<intptr_t>(handle);
                for (int call = 0; call < 5; ++call) {
                    int seen = -1;
                    DWORD returned = 0;
                    if (!DeviceIoControl(handle, 1, nullptr, 0, &seen, sizeof seen, &returned,
                                         nullptr) ||
                        seen != owner)
                        ++wrongDevice;
                }
                if (!CloseHandle(handle))
                    ++unclean;
            }
        });
    }
    for (int stray = 0; stray < kStrays; ++stray) {
        threads.emplace_back([&] {
            while (!stop) {
                for (const std::atomic<intptr_t> &value : recent) {
                    int seen = -1;
                    DWORD returned = 0;
                    HANDLE handle = reinterpret_cast<HANDLE>(value.load());
                    if (DeviceIoControl(handle, 1, nullptr, 0, &seen, sizeof seen, &returned,
                                        nullptr)
                            ? seen < 0 || seen >= kOwners
                            : GetLastError() != ERROR_INVALID_HANDLE && handle != nullptr)
                        ++unclean;
                }
            }
        });
    }
    for (int owner = 0; owner < kOwners; ++owner)
        threads[static_cast<size_t>(owner)].join();
    stop = true;
    for (size_t t = kOwners; t < threads.size(); ++t)
        threads[t].join();
    EXPECT_EQ(wrongDevice.load(), 0);
    EXPECT_EQ(unclean.load(), 0);
    EXPECT_FALSE(reachedReleased.load());
    EXPECT_EQ(releases.load(), kOwners * kRounds);
}

} // namespace
