// Several threads on the same and on different paths at once, and paths closed while
// other threads still use them.
#include <atomic>
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

} // namespace
