// Millisecond timer, delays and random numbers. Timing checks are "at least" bounds only.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <set>

#include "usr_oss.h"

namespace {

using Clock = std::chrono::steady_clock;

template <typename Fn> Clock::duration TimeOf(Fn fn) {
    const auto start = Clock::now();
    fn();
    return Clock::now() - start;
}

TEST(UosTimer, AdvancesByAtLeastTheDelayAndHasMillisecondResolution) {
    EXPECT_EQ(UOS_MsecTimerResolution(), 1u);
    EXPECT_EQ(UOS_MSEC_TIMER_RESOLUTION(), 1u);
    const uint32_t before = UOS_MsecTimerGet();
    EXPECT_EQ(UOS_Delay(25), 25);
    const uint32_t after = UOS_MSEC_TIMER_GET();
    EXPECT_GE(after - before, 25u); // unsigned difference survives the 32-bit wrap
}

TEST(UosDelay, SleepsAtLeastTheRequestedTime) {
    int32_t used = 0;
    EXPECT_GE(TimeOf([&] { used = UOS_DELAY(20); }), std::chrono::milliseconds(20));
    EXPECT_EQ(used, 20);
}

TEST(UosDelay, ZeroAndNegativeDelaysReturnZeroWithoutSleeping) {
    for (int32_t msec : {0, -1, -5000, INT32_MIN}) {
        SCOPED_TRACE(msec);
        int32_t used = 1;
        EXPECT_LT(TimeOf([&] { used = UOS_Delay(msec); }), std::chrono::seconds(2));
        EXPECT_EQ(used, 0);
    }
}

TEST(UosMikroDelay, WaitsAtLeastTheRequestedTimeWithAndWithoutInit) {
    for (uint32_t usec : {0u, 1u, 30u, 400u, 2500u}) {
        SCOPED_TRACE(usec);
        int32_t status = 1;
        EXPECT_GE(TimeOf([&] { status = UOS_MikroDelay(usec); }), std::chrono::microseconds(usec));
        EXPECT_EQ(status, 0);
    }
    EXPECT_EQ(UOS_MIKRO_DELAY_INIT(), 0);
    int32_t status = 1;
    EXPECT_GE(TimeOf([&] { status = UOS_MIKRO_DELAY(1500); }), std::chrono::microseconds(1500));
    EXPECT_EQ(status, 0);
}

TEST(UosRandom, ZeroDoesNotStickAndTheSequenceDoesNotRepeatSoon) {
    EXPECT_NE(UOS_Random(0), 0u);
    std::set<uint32_t> seen;
    uint32_t value = 0;
    for (int i = 0; i < 20000; ++i) {
        value = UOS_RANDOM(value);
        ASSERT_NE(value, 0u);
        seen.insert(value);
    }
    EXPECT_EQ(seen.size(), 20000u);
}

TEST(UosRandom, MappedValuesSpreadEvenlyOverSmallRanges) {
    std::array<int, 10> buckets{};
    uint32_t value = 12345;
    constexpr int kDraws = 100000;
    for (int i = 0; i < kDraws; ++i) {
        value = UOS_Random(value);
        const uint32_t mapped = UOS_RandomMap(value, 0, 9);
        ASSERT_LE(mapped, 9u);
        ++buckets[mapped];
    }
    for (int count : buckets) {
        EXPECT_GT(count, kDraws / 10 * 9 / 10);
        EXPECT_LT(count, kDraws / 10 * 11 / 10);
    }
}

TEST(UosRandomMap, EndsOfTheInputReachTheEndsOfTheRange) {
    EXPECT_EQ(UOS_RandomMap(0, 0, 100), 0u);
    EXPECT_EQ(UOS_RandomMap(0xffffffffu, 0, 100), 100u);
    EXPECT_EQ(UOS_RandomMap(0x80000000u, 0, 100), 50u);
    EXPECT_EQ(UOS_RandomMap(0, 7, 7), 7u);
    EXPECT_EQ(UOS_RandomMap(0xffffffffu, 7, 7), 7u);
}

TEST(UosRandomMap, FullRangeIsSafeAndKeepsTheValue) {
    for (uint32_t v : {0u, 1u, 0x7fffffffu, 0xfffffffeu, 0xffffffffu})
        EXPECT_EQ(UOS_RANDOM_MAP(v, 0, 0xffffffffu), v);
    EXPECT_EQ(UOS_RandomMap(0xffffffffu, 0xfffffff0u, 0xffffffffu), 0xffffffffu);
}

TEST(UosRandomMap, SwappedBoundsGiveTheSameRange) {
    uint32_t value = 99;
    for (int i = 0; i < 1000; ++i) {
        value = UOS_Random(value);
        const uint32_t mapped = UOS_RandomMap(value, 500, 20);
        ASSERT_GE(mapped, 20u);
        ASSERT_LE(mapped, 500u);
        ASSERT_EQ(mapped, UOS_RandomMap(value, 20, 500));
    }
}

} // namespace
