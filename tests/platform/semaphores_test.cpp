#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

#include "trax_win32.h"

namespace {

TEST(Semaphores, CreationChecksCountsAndRefusesNames) {
    struct Case {
        LONG initial, maximum;
    };
    for (Case c : {Case{-1, 1}, Case{2, 1}, Case{0, 0}, Case{0, -5}}) {
        SetLastError(0);
        EXPECT_EQ(CreateSemaphoreA(nullptr, c.initial, c.maximum, nullptr), nullptr)
            << c.initial << "/" << c.maximum;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    SetLastError(0);
    EXPECT_EQ(CreateSemaphoreA(nullptr, 0, 1, "shared"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    HANDLE emptyName = CreateSemaphoreA(nullptr, 0, 1, "");
    EXPECT_NE(emptyName, nullptr) << "an empty name means unnamed";
    CloseHandle(emptyName);
}

TEST(Semaphores, CountsTokensAndTimesOutWhenEmpty) {
    HANDLE sem = CreateSemaphoreA(nullptr, 2, 5, nullptr);
    ASSERT_NE(sem, nullptr);
    EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_TIMEOUT);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(sem, 100), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    CloseHandle(sem);
}

TEST(Semaphores, ReleasePastTheMaximumFailsAndChangesNothing) {
    HANDLE sem = CreateSemaphoreA(nullptr, 1, 3, nullptr);
    ASSERT_NE(sem, nullptr);
    LONG previous = -1;
    SetLastError(0);
    EXPECT_FALSE(ReleaseSemaphore(sem, 3, &previous));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    EXPECT_EQ(previous, -1) << "previous count untouched on failure";
    SetLastError(0);
    EXPECT_FALSE(ReleaseSemaphore(sem, 0x7fffffff, nullptr)) << "no overflow";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TOO_MANY_POSTS));
    SetLastError(0);
    EXPECT_FALSE(ReleaseSemaphore(sem, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(ReleaseSemaphore(sem, -1, nullptr));

    EXPECT_TRUE(ReleaseSemaphore(sem, 2, &previous));
    EXPECT_EQ(previous, 1);
    EXPECT_FALSE(ReleaseSemaphore(sem, 1, nullptr)) << "already at the maximum";
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_TIMEOUT);
    CloseHandle(sem);
}

// The console-token pattern: the holder releases and at once waits again; a thread that
// was already waiting must get the token, not the releasing thread.
struct TokenHandOver {
    HANDLE token = nullptr;
    HANDLE waiting = nullptr;  // set by the other thread just before it waits
    HANDLE giveBack = nullptr; // tells the other thread to release the token
    std::atomic<int> taken{0};
};

DWORD WINAPI takeTokenWhenHandedOver(LPVOID param) {
    auto *game = static_cast<TokenHandOver *>(param);
    SetEvent(game->waiting);
    if (WaitForSingleObject(game->token, 5000) != WAIT_OBJECT_0)
        return 1;
    ++game->taken;
    WaitForSingleObject(game->giveBack, 5000);
    ReleaseSemaphore(game->token, 1, nullptr);
    return 0;
}

TEST(Semaphores, AReleasedTokenGoesToTheThreadThatWasWaiting) {
    TokenHandOver game;
    game.token = CreateSemaphoreA(nullptr, 1, 1, nullptr);
    game.waiting = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    game.giveBack = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (int round = 0; round < 5; ++round) {
        ASSERT_EQ(WaitForSingleObject(game.token, 5000), WAIT_OBJECT_0);
        HANDLE other = CreateThread(nullptr, 0, takeTokenWhenHandedOver, &game, 0, nullptr);
        ASSERT_NE(other, nullptr);
        ASSERT_EQ(WaitForSingleObject(game.waiting, 5000), WAIT_OBJECT_0);
        Sleep(20); // the other thread is now queued on the token
        ASSERT_TRUE(ReleaseSemaphore(game.token, 1, nullptr));
        EXPECT_EQ(WaitForSingleObject(game.token, 100), WAIT_TIMEOUT) << "round " << round;
        EXPECT_EQ(game.taken.load(), round + 1);
        SetEvent(game.giveBack);
        EXPECT_EQ(WaitForSingleObject(other, 5000), WAIT_OBJECT_0);
        CloseHandle(other);
        ASSERT_EQ(WaitForSingleObject(game.token, 5000), WAIT_OBJECT_0) << "the token came back";
        ReleaseSemaphore(game.token, 1, nullptr);
    }
    CloseHandle(game.token);
    CloseHandle(game.waiting);
    CloseHandle(game.giveBack);
}

TEST(Semaphores, AWaiterThatTimedOutDoesNotSwallowALaterToken) {
    HANDLE sem = CreateSemaphoreA(nullptr, 0, 1, nullptr);
    ASSERT_NE(sem, nullptr);
    EXPECT_EQ(WaitForSingleObject(sem, 10), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseSemaphore(sem, 1, nullptr));
    EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_OBJECT_0);
    CloseHandle(sem);
}

} // namespace
