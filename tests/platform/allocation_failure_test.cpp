// Running out of memory in a call that creates an object: the call fails with
// ERROR_NOT_ENOUGH_MEMORY, leaves no handle behind and throws nothing at its C caller.
// The registry view and the message box, which build texts, fail the same way.
#include <gtest/gtest.h>

#include <string>

#include "failing_new.h"
#include "trax_win32.h"

namespace {

using failing_new::SweepAllocations;

// Checks one attempt: a call that could not get its memory fails with the memory error
// (one that found another way, such as a free slot further down the handle table, may
// still succeed); every handle made is closed again. Returns whether one was made.
bool checkCreated(HANDLE handle, bool allocationFailed) {
    if (handle == nullptr) {
        EXPECT_TRUE(allocationFailed) << "failed without an allocation failure";
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
        return false;
    }
    EXPECT_TRUE(CloseHandle(handle));
    return true;
}

TEST(AllocationFailure, SemaphoresAndUnnamedEvents) {
    HANDLE handle = nullptr;
    SweepAllocations([&] { handle = CreateSemaphoreA(nullptr, 1, 1, nullptr); },
                     [&](bool failed) { checkCreated(handle, failed); });
    SweepAllocations([&] { handle = CreateEventA(nullptr, FALSE, TRUE, nullptr); },
                     [&](bool failed) { checkCreated(handle, failed); });
}

TEST(AllocationFailure, NamedEventsLeaveTheNameFree) {
    const std::string name = "allocFail" + std::to_string(GetCurrentProcessId());
    HANDLE handle = nullptr;
    const long failures =
        SweepAllocations([&] { handle = CreateEventA(nullptr, FALSE, FALSE, name.c_str()); },
                         [&](bool failed) { checkCreated(handle, failed); });
    EXPECT_GT(failures, 0);
    // Nothing of the failed attempts holds the name: a new event owns it and receives.
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 2000), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(AllocationFailure, ThreadsThatCannotStartLeaveNoHandle) {
    HANDLE handle = nullptr;
    SweepAllocations(
        [&] {
            handle = CreateThread(
                nullptr, 0, [](LPVOID) -> DWORD { return 0; }, nullptr, 0, nullptr);
        },
        [&](bool failed) {
            if (handle != nullptr) {
                EXPECT_EQ(WaitForSingleObject(handle, 5000), WAIT_OBJECT_0);
            }
            checkCreated(handle, failed);
        });
}

int g_released = 0;

BOOL ignoreIoctl(void *, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD) {
    return TRUE;
}

void countRelease(void *) {
    ++g_released;
}

TEST(AllocationFailure, ADeviceWithoutHandleKeepsItsContext) {
    HANDLE handle = nullptr;
    int context = 0;
    g_released = 0;
    long created = 0;
    SweepAllocations([&] { handle = TraxCreateDeviceHandle(ignoreIoctl, countRelease, &context); },
                     [&](bool failed) { created += checkCreated(handle, failed) ? 1 : 0; });
    // Exactly the devices that got a handle were released, each by its CloseHandle; a
    // context without a handle stays the caller's.
    EXPECT_GE(created, 1);
    EXPECT_EQ(g_released, created);
}

// A registry call either succeeds or reports the memory error as its result.
void checkRegistryResult(LONG result, bool allocationFailed) {
    if (result == ERROR_SUCCESS)
        return;
    EXPECT_TRUE(allocationFailed) << "failed without an allocation failure";
    EXPECT_EQ(result, static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(AllocationFailure, RegistryCallsReturnTheMemoryError) {
    TraxRegistryClear();
    LONG result = ERROR_SUCCESS;
    SweepAllocations(
        [&] { result = TraxRegistrySetString(HKEY_LOCAL_MACHINE, "Soft\\Trax", "Name", "v"); },
        [&](bool failed) { checkRegistryResult(result, failed); });
    HKEY key = nullptr;
    SweepAllocations([&] { result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "soft\\trax", 0, 0, &key); },
                     [&](bool failed) {
                         checkRegistryResult(result, failed);
                         if (result == ERROR_SUCCESS) {
                             EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
                         }
                     });
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "soft\\trax", 0, 0, &key), ERROR_SUCCESS);
    char value[8] = "";
    DWORD size = sizeof value;
    SweepAllocations(
        [&] { result = RegQueryValueExA(key, "name", nullptr, nullptr, LPBYTE(value), &size); },
        [&](bool failed) { checkRegistryResult(result, failed); });
    EXPECT_STREQ(value, "v");
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    TraxRegistryClear();
}

TEST(AllocationFailure, MessageBoxWithoutMemoryReturnsZero) {
    int result = 0;
    const long failures =
        SweepAllocations([&] { result = MessageBoxA(nullptr, "text", "caption", 0); },
                         [&](bool failed) {
                             if (result != 0)
                                 return;
                             EXPECT_TRUE(failed);
                             EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
                         });
    EXPECT_GT(failures, 0);
    EXPECT_NE(result, 0);
}

} // namespace
