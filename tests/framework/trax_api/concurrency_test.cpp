// Several threads on the same and on different paths at once, and paths closed while
// other threads still use them.
#include <atomic>
#include <iterator>
#include <thread>
#include <vector>

#include "api_test_util.h"

using apitest::OpenPath;

namespace {

TEST(Concurrency, ThreadsShareAPathWithoutLosingWrites) {
    OpenPath path("sim_mt_1");
    ASSERT_EQ(M_setstat(path, M_MK_IO_MODE, M_IO_EXEC), 0);
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::vector<uint8_t> block(256, static_cast<uint8_t>(t));
            for (int i = 0; i < 500; ++i) {
                int32_t value = 0;
                if (M_write(path, t) != 0 || M_read(path, &value) != 0 ||
                    M_setblock(path, block.data(), 256) != 256 ||
                    M_getblock(path, block.data(), 256) != 256 ||
                    M_setstat(path, M_LL_DEBUG_LEVEL, i) != 0) {
                    ++failures;
                }
            }
        });
    }
    for (std::thread &thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, 0);
}

TEST(Concurrency, ClosingWhileOthersCallFailsThemCleanly) {
    for (int round = 0; round < 20; ++round) {
        const int32_t path = M_open("sim_dio_1");
        ASSERT_GT(path, 0);
        std::atomic<bool> stop{false};
        std::atomic<int> unexpected{0};
        std::vector<std::thread> callers;
        for (int t = 0; t < 3; ++t) {
            callers.emplace_back([&] {
                while (!stop) {
                    int32_t value = 0;
                    if (M_getstat(path, M_LL_CH_NUMBER, &value) != 0 &&
                        GetLastError() != ERR_MK_ILL_PATH) {
                        ++unexpected;
                    }
                }
            });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        EXPECT_EQ(M_close(path), 0);
        stop = true;
        for (std::thread &thread : callers) {
            thread.join();
        }
        EXPECT_EQ(unexpected, 0);
    }
}

TEST(Concurrency, ConcurrentClosesSucceedOnce) {
    for (int round = 0; round < 20; ++round) {
        const int32_t path = M_open("sim_adc_1");
        ASSERT_GT(path, 0);
        std::atomic<int> closed{0};
        std::vector<std::thread> closers;
        for (int t = 0; t < 3; ++t) {
            closers.emplace_back([&] {
                if (M_close(path) == 0) {
                    ++closed;
                }
            });
        }
        for (std::thread &thread : closers) {
            thread.join();
        }
        EXPECT_EQ(closed, 1);
    }
}

// Each owner thread opens, uses and closes paths to its own device over and over, while
// stray threads call on whatever path numbers were handed out lately. A path reaches the
// device it was opened to for as long as it is open; a stray call reaches some live device
// or fails with ERR_MK_ILL_PATH. The sanitizer builds check that no call uses a path's
// freed state.
TEST(Concurrency, PathsReopenedUnderConcurrentCallsReachOnlyTheirOwnDevice) {
    struct Owner {
        const char *device;
        int32_t channels;
    };
    const Owner owners[] = {{"sim_dio_1", 16}, {"sim_adc_1", 8}, {"sim_mt_1", 4}};
    constexpr int kRounds = 300;
    std::atomic<int> wrongDevice{0};
    std::atomic<int> unclean{0};
    std::atomic<bool> stop{false};
    std::atomic<int32_t> recent[std::size(owners)] = {};
    std::vector<std::thread> threads;
    for (size_t o = 0; o < std::size(owners); ++o) {
        threads.emplace_back([&, o] {
            for (int round = 0; round < kRounds; ++round) {
                const int32_t path = M_open(owners[o].device);
                if (path <= 0) {
                    ++unclean;
                    continue;
                }
                recent[o] = path;
                for (int call = 0; call < 5; ++call) {
                    int32_t channels = 0;
                    if (M_getstat(path, M_LL_CH_NUMBER, &channels) != 0 ||
                        channels != owners[o].channels)
                        ++wrongDevice;
                }
                if (M_close(path) != 0)
                    ++unclean;
            }
        });
    }
    for (int stray = 0; stray < 2; ++stray) {
        threads.emplace_back([&] {
            while (!stop) {
                for (const std::atomic<int32_t> &path : recent) {
                    int32_t channels = 0;
                    const int32_t result = M_getstat(path, M_LL_CH_NUMBER, &channels);
                    if (result == 0 ? channels != 16 && channels != 8 && channels != 4
                                    : GetLastError() != ERR_MK_ILL_PATH)
                        ++unclean;
                }
            }
        });
    }
    for (size_t o = 0; o < std::size(owners); ++o)
        threads[o].join();
    stop = true;
    for (size_t t = std::size(owners); t < threads.size(); ++t)
        threads[t].join();
    EXPECT_EQ(wrongDevice.load(), 0);
    EXPECT_EQ(unclean.load(), 0);
}

} // namespace
