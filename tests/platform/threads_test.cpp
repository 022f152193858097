#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>

#include "trax_win32.h"

namespace {

struct ThreadReport {
    std::atomic<DWORD> id{0};
    HANDLE release = nullptr;
};

DWORD WINAPI reportAndWait(LPVOID param) {
    auto *report = static_cast<ThreadReport *>(param);
    report->id = GetCurrentThreadId();
    if (report->release != nullptr)
        WaitForSingleObject(report->release, 5000);
    return 0;
}

TEST(Threads, CreateThreadReturnsTheIdTheThreadSeesItself) {
    ThreadReport report;
    DWORD id = 0;
    HANDLE thread = CreateThread(nullptr, 0, reportAndWait, &report, 0, &id);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(report.id.load(), id);
    EXPECT_NE(id, GetCurrentThreadId());
    EXPECT_TRUE(CloseHandle(thread));
}

TEST(Threads, TheHandleIsSignalledOnlyWhenTheThreadEnds) {
    ThreadReport report;
    report.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, reportAndWait, &report, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 50), WAIT_TIMEOUT);
    SetEvent(report.release);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0) << "stays signalled";
    CloseHandle(thread);
    CloseHandle(report.release);
}

TEST(Threads, ClosingTheHandleOfARunningThreadLetsItFinish) {
    static std::atomic<bool> finished;
    finished = false;
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            WaitForSingleObject(param, 5000);
            finished = true;
            return 0;
        },
        go, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(go);
    for (int i = 0; i < 500 && !finished; ++i)
        Sleep(10);
    EXPECT_TRUE(finished);
    CloseHandle(go);
}

TEST(Threads, RefusesSuspendedStartAndAMissingStartRoutine) {
    const DWORD createSuspended = 0x4;
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, reportAndWait, nullptr, createSuspended, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Threads, ATinyStackSizeIsRaisedToAWorkableOne) {
    ThreadReport report;
    HANDLE thread = CreateThread(nullptr, 1, reportAndWait, &report, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_NE(report.id.load(), 0u);
    CloseHandle(thread);
}

TEST(Threads, ProcessAndThreadIdsAreTheSystemOnes) {
    EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
    EXPECT_EQ(GetCurrentThreadId(), static_cast<DWORD>(gettid()));
}

} // namespace
