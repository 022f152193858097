#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "trax_win32.h"

namespace {

HANDLE asHandle(intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

// Each call must fail with ERROR_INVALID_HANDLE for the given handle.
void expectEveryCallRejects(HANDLE handle) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(handle, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(ReleaseSemaphore(handle, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(SetEvent(handle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(ResetEvent(handle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(DeviceIoControl(handle, 1, nullptr, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(Handles, NullMinusOneAndOutOfRangeValuesFailCleanly) {
    expectEveryCallRejects(nullptr);
    expectEveryCallRejects(INVALID_HANDLE_VALUE);
    expectEveryCallRejects(asHandle(-2));
    expectEveryCallRejects(asHandle(1 << 30));
    expectEveryCallRejects(asHandle(INTPTR_MAX));
}

TEST(Handles, AClosedHandleFailsAndASecondCloseFails) {
    HANDLE sem = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    ASSERT_NE(sem, nullptr);
    EXPECT_TRUE(CloseHandle(sem));
    expectEveryCallRejects(sem);
}

TEST(Handles, HandlesAreSmallPositiveNumbersAndNotReusedAtOnce) {
    HANDLE first = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_GT(reinterpret_cast<intptr_t>(first), 0);
    EXPECT_LT(reinterpret_cast<intptr_t>(first), 1 << 16);
    ASSERT_TRUE(CloseHandle(first));
    HANDLE second = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first);
    CloseHandle(second);
}

TEST(Handles, InternalObjectsDoNotShiftTheNumbersOfOtherHandles) {
    HANDLE before = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    EXPECT_FALSE(TraxSetInternalHandles(TRUE));
    HANDLE internal[] = {CreateMutexA(nullptr, FALSE, nullptr),
                         CreateEventA(nullptr, FALSE, FALSE, nullptr)};
    EXPECT_TRUE(TraxSetInternalHandles(FALSE)) << "returns the previous setting";
    HANDLE after = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    ASSERT_NE(before, nullptr);
    ASSERT_NE(after, nullptr);
    EXPECT_EQ(reinterpret_cast<intptr_t>(after), reinterpret_cast<intptr_t>(before) + 1);
    for (HANDLE handle : internal) {
        ASSERT_NE(handle, nullptr);
        EXPECT_NE(handle, before);
        EXPECT_NE(handle, after);
    }
    EXPECT_EQ(WaitForSingleObject(internal[0], 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(internal[0]));
    EXPECT_TRUE(SetEvent(internal[1]));
    EXPECT_EQ(WaitForSingleObject(internal[1], 0), WAIT_OBJECT_0);
    for (HANDLE handle : {before, after, internal[0], internal[1]})
        EXPECT_TRUE(CloseHandle(handle));
    expectEveryCallRejects(internal[1]);
}

TEST(Handles, AHandleOfTheWrongKindIsRejected) {
    HANDLE sem = CreateSemaphoreA(nullptr, 1, 1, nullptr);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(sem, nullptr);
    ASSERT_NE(event, nullptr);

    SetLastError(0);
    EXPECT_FALSE(SetEvent(sem));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(ReleaseSemaphore(event, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(DeviceIoControl(sem, 1, nullptr, 0, nullptr, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE mixed[] = {event, sem};
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(2, mixed, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_OBJECT_0) << "the semaphore is untouched";
    CloseHandle(sem);
    CloseHandle(event);
}

TEST(Handles, AFullTableFailsWithoutHarmAndRecovers) {
    std::vector<HANDLE> handles;
    HANDLE handle;
    while ((handle = CreateSemaphoreA(nullptr, 0, 1, nullptr)) != nullptr) {
        handles.push_back(handle);
        ASSERT_LT(handles.size(), 100000u) << "the table never fills";
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_GE(handles.size(), 1000u);
    ASSERT_TRUE(CloseHandle(handles.back()));
    handles.pop_back();
    handle = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    EXPECT_NE(handle, nullptr) << "a closed slot is used again once the table is full";
    handles.push_back(handle);
    for (HANDLE h : handles)
        EXPECT_TRUE(CloseHandle(h));
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(1234);
    DWORD seenByOther = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            *static_cast<DWORD *>(param) = GetLastError();
            SetLastError(99);
            return 0;
        },
        &seenByOther, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(seenByOther, 0u);
    EXPECT_EQ(GetLastError(), 1234u);
}

} // namespace

namespace {

struct CloseWhileWaiting {
    HANDLE handle;
    std::atomic<bool> waiting{false};
    std::atomic<DWORD> result{0xDEAD};
};

DWORD WINAPI waitLong(LPVOID param) {
    auto *state = static_cast<CloseWhileWaiting *>(param);
    state->waiting = true;
    state->result = WaitForSingleObject(state->handle, 300);
    return 0;
}

// Closing the last handle of an object while another thread waits on it must neither crash
// nor cut the wait short with a success.
TEST(Handles, ClosingAnObjectThatIsBeingWaitedOnIsSafe) {
    const std::string name = "ptest-" + std::to_string(GetCurrentProcessId()) + "-closewait";
    HANDLE objects[] = {CreateSemaphoreA(nullptr, 0, 1, nullptr),
                        CreateEventA(nullptr, FALSE, FALSE, nullptr),
                        CreateEventA(nullptr, FALSE, FALSE, name.c_str())};
    for (HANDLE object : objects) {
        ASSERT_NE(object, nullptr);
        CloseWhileWaiting state{object};
        HANDLE waiter = CreateThread(nullptr, 0, waitLong, &state, 0, nullptr);
        while (!state.waiting)
            Sleep(1);
        Sleep(20);
        EXPECT_TRUE(CloseHandle(object));
        EXPECT_EQ(WaitForSingleObject(waiter, 5000), WAIT_OBJECT_0);
        CloseHandle(waiter);
        EXPECT_EQ(state.result.load(), WAIT_TIMEOUT);
    }
}

// Many threads creating, using and closing handles at once, some using stale ones: every
// call either works or fails cleanly.
TEST(Handles, TheTableStaysConsistentUnderConcurrentUse) {
    struct Shared {
        std::atomic<int> failures{0};
        std::atomic<intptr_t> lastClosed{0};
    } shared;
    auto churn = [](LPVOID param) -> DWORD {
        auto *s = static_cast<Shared *>(param);
        for (int i = 0; i < 500; ++i) {
            HANDLE sem = CreateSemaphoreA(nullptr, 1, 1, nullptr);
            if (sem == nullptr || WaitForSingleObject(sem, 0) != WAIT_OBJECT_0 ||
                !ReleaseSemaphore(sem, 1, nullptr) || !CloseHandle(sem)) {
                ++s->failures;
                continue;
            }
            // A handle another thread closed (or, once values are reused, another thread's
            // semaphore): setting it as an event must fail either way.
            HANDLE stale =
                reinterpret_cast<HANDLE>(s->lastClosed.exchange(reinterpret_cast<intptr_t>(sem)));
            if (stale != nullptr && SetEvent(stale))
                ++s->failures;
        }
        return 0;
    };
    HANDLE threads[4];
    for (HANDLE &thread : threads)
        thread = CreateThread(nullptr, 0, churn, &shared, 0, nullptr);
    for (HANDLE thread : threads) {
        EXPECT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    EXPECT_EQ(shared.failures.load(), 0);
}

} // namespace
