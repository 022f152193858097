// M_read and M_write take a direct way that bypasses the handle table and the device's
// lock. Paths are opened and closed over and over on devices of this process's own while
// other threads read through whatever path numbers were handed out lately: a path must
// reach only the device it was opened to, and no call may use a path or a device state
// after it was freed or unmapped (the sanitizer builds check the latter). ctest runs the
// test once with private and once with shared devices; in shared mode each close of a
// device's last path unmaps its state.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "sim_device.h"
#include "sim_direct.h"
#include "sim_user.h"
#include "trax_api.h"
#include "trax_codes.h"
#include "trax_errors.h"
#include "trax_win32.h"

namespace {

constexpr int kOwners = 3;
constexpr int kChannels = 4; // of the test device

// A value that names its writer and when it was written.
int32_t marker(int owner, int round) {
    return (owner + 1) << 24 | round;
}

int owner_of(int32_t value) {
    return (value >> 24) - 1;
}

// What an owner found wrong in one round on its own path.
int check_round(int32_t path, int owner, int round) {
    int wrong = 0;
    const int32_t channel = round % kChannels;
    int32_t value = 0;
    wrong += M_setstat(path, M_MK_CH_CURRENT, channel) != 0;
    // Power-on 0 or an earlier value of this owner, never another owner's.
    wrong += M_read(path, &value) != 0 || (value != 0 && owner_of(value) != owner);
    wrong += M_write(path, marker(owner, round)) != 0;
    wrong += M_read(path, &value) != 0 || value != marker(owner, round);
    return wrong;
}

TEST(DirectCalls, PathsReopenedUnderConcurrentCallsReachOnlyTheirOwnDevice) {
    std::string names[kOwners];
    for (int o = 0; o < kOwners; ++o) {
        names[o] = "direct" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(o);
        AddSharedTestDevice(names[o]);
    }
    constexpr int kRounds = 400;
    std::atomic<int> wrong{0};
    std::atomic<int> unclean{0};
    std::atomic<bool> stop{false};
    std::atomic<int32_t> recent[kOwners] = {};
    std::vector<std::thread> threads;
    for (int o = 0; o < kOwners; ++o) {
        threads.emplace_back([&, o] {
            for (int round = 1; round <= kRounds; ++round) {
                const int32_t path = M_open(names[o].c_str());
                if (path <= 0) {
                    ++unclean;
                    continue;
                }
                recent[o] = path;
                wrong += check_round(path, o, round);
                unclean += M_close(path) != 0;
            }
        });
    }
    // Readers on numbers that may be closed or reused meanwhile: a read succeeds with some
    // owner's value (or power-on 0) or fails with ERR_MK_ILL_PATH.
    for (int stray = 0; stray < 2; ++stray) {
        threads.emplace_back([&] {
            while (!stop) {
                for (const std::atomic<int32_t> &path : recent) {
                    int32_t value = 0;
                    const int32_t result = M_read(path, &value);
                    unclean += result == 0 ? value != 0 &&
                                                 (owner_of(value) < 0 || owner_of(value) >= kOwners)
                                           : GetLastError() != ERR_MK_ILL_PATH;
                }
            }
        });
    }
    for (int o = 0; o < kOwners; ++o) {
        threads[static_cast<size_t>(o)].join();
    }
    stop = true;
    for (size_t t = kOwners; t < threads.size(); ++t) {
        threads[t].join();
    }
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(unclean.load(), 0);
}

// A close lets the path and the device state go only after every direct call that may
// still use them has ended: while this thread is inside one, the close does not finish
// and the state stays in place (in shared mode it is unmapped once the close is over).
TEST(DirectCalls, ACloseWaitsForTheDirectCallsInProgress) {
    const std::string name = "direct" + std::to_string(GetCurrentProcessId()) + "_wait";
    AddSharedTestDevice(name);
    const int32_t path = M_open(name.c_str());
    ASSERT_GT(path, 0);
    ASSERT_EQ(M_write(path, 4711), 0);
    sim::DeviceState &state = sim::Catalogue::device(name)->state();
    std::atomic<bool> closed{false};
    std::optional<sim::DirectCall> inside(std::in_place);
    std::thread closer([&] {
        EXPECT_EQ(M_close(path), 0);
        closed = true;
    });
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    while (!closed && std::chrono::steady_clock::now() < until) {
        std::this_thread::yield();
    }
    EXPECT_FALSE(closed);
    if (!closed) {
        EXPECT_EQ(sim::channel_word(state, 0).load(), 4711);
    }
    inside.reset();
    closer.join();
    EXPECT_TRUE(closed);
}

// A path closed with CloseHandle, as a Windows program may do, leaves the direct way too.
TEST(DirectCalls, APathClosedAsAHandleFailsCleanly) {
    const std::string name = "direct" + std::to_string(GetCurrentProcessId()) + "_handle";
    AddSharedTestDevice(name);
    const int32_t path = M_open(name.c_str());
    ASSERT_GT(path, 0);
    ASSERT_EQ(M_write(path, 7), 0);
    ASSERT_TRUE(CloseHandle(reinterpret_cast<HANDLE>(static_cast<intptr_t>(path))));
    int32_t value = 0;
    EXPECT_EQ(M_read(path, &value), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERR_MK_ILL_PATH));
    EXPECT_EQ(M_write(path, 1), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERR_MK_ILL_PATH));
}

} // namespace
