#include <gtest/gtest.h>

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

#include "event_slots.h"

namespace {

using namespace trax::platform;

// A fresh event state in ordinary memory, as a new file holds it.
struct State {
    alignas(SharedEventState) unsigned char bytes[sizeof(SharedEventState)] = {};
    SharedEventState &get() { return *reinterpret_cast<SharedEventState *>(bytes); }
};

TEST(EventSlots, WakeUpsAreTakenOldestFirstOnceEachAndBoundedInNumber) {
    State memory;
    SharedEventState &state = memory.get();
    // Stamps 10, 20, ... up to one per slot, published out of order (7 is prime to the count).
    static_assert(kEventSlots % 7 != 0);
    const uint64_t last = kEventSlots * 10;
    for (size_t i = 0; i < kEventSlots; ++i) {
        const uint64_t stamp = (i * 7 % kEventSlots + 1) * 10;
        ASSERT_TRUE(publishWakeup(state, stamp)) << stamp;
    }
    EXPECT_FALSE(hasFreeSlot(state));
    EXPECT_FALSE(publishWakeup(state, last + 10)) << "every slot is taken";

    const std::optional<PendingWakeup> first = oldestWakeup(state);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->stamp, 10u);
    EXPECT_TRUE(takeWakeup(state, *first));
    EXPECT_FALSE(takeWakeup(state, *first)) << "a wake-up is taken once";
    EXPECT_FALSE(takeWakeup(state, PendingWakeup{10, kEventSlots})) << "no such slot";
    EXPECT_TRUE(publishWakeup(state, 5)) << "a taken slot is free again";
    std::vector<uint64_t> order;
    while (const std::optional<PendingWakeup> next = oldestWakeup(state)) {
        ASSERT_TRUE(takeWakeup(state, *next));
        order.push_back(next->stamp);
    }
    std::vector<uint64_t> expected{5};
    for (uint64_t stamp = 20; stamp <= last; stamp += 10)
        expected.push_back(stamp);
    EXPECT_EQ(order, expected);

    publishWakeup(state, 1);
    publishWakeup(state, 2);
    dropWakeups(state);
    EXPECT_FALSE(oldestWakeup(state).has_value());
    EXPECT_EQ(state.departures.changes.load(), kEventSlots + 2) << "each departure is announced";
}

// A set rings only the lanes that waiting threads entered, and its pending flag says whether
// the event is worth a look: raised by each announced wake-up, still raised after a take that
// leaves one behind, lowered by the take of the last; an event without a mark has no flag.
TEST(EventSlots, LanesAndPendingFlagsFollowTheWaitersAndTheWakeUps) {
    State memory;
    SharedEventState &state = memory.get();
    auto bell = std::make_unique<SharedBell>();
    joinLane(state, *bell, 3);
    joinLane(state, *bell, 3);
    joinLane(state, *bell, 17);
    const uint32_t mark = 5;
    auto mayHaveWakeup = [&bell](uint32_t flag) { return pendingFlag(*bell, flag)->load() != 0; };
    EXPECT_FALSE(mayHaveWakeup(mark));
    EXPECT_EQ(pendingFlag(*bell, kNoMark), nullptr);
    for (uint64_t stamp : {7, 8}) {
        ASSERT_TRUE(publishWakeup(state, stamp));
        announceWakeup(state, *bell, mark);
    }
    for (size_t lane = 0; lane < kBellLanes; ++lane)
        EXPECT_EQ(bell->lanes[lane].channel.changes.load(), lane == 3 || lane == 17 ? 2u : 0u)
            << "lane " << lane;
    for (int taken = 0; taken < 2; ++taken) {
        EXPECT_TRUE(mayHaveWakeup(mark)) << taken;
        ASSERT_TRUE(takeFlaggedWakeup(state, *bell, mark, *oldestWakeup(state)));
    }
    EXPECT_FALSE(mayHaveWakeup(mark)) << "the last take lowers the flag";
    EXPECT_FALSE(mayHaveWakeup(mark + 1)) << "other flags were never raised";
}

// A take that lowers the flag and then finds a wake-up that came in meanwhile (whose set saw
// the flag still raised and so left it alone) raises the flag again and rings the lanes:
// another thread waiting for the event may have passed over it while the flag was down.
TEST(EventSlots, ATakeThatFindsALaterWakeUpRingsTheLanesAgain) {
    State memory;
    SharedEventState &state = memory.get();
    auto bell = std::make_unique<SharedBell>();
    joinLane(state, *bell, 3);
    const uint32_t mark = 2;
    ASSERT_TRUE(publishWakeup(state, 7));
    announceWakeup(state, *bell, mark);
    const PendingWakeup first = *oldestWakeup(state);
    ASSERT_TRUE(publishWakeup(state, 8));
    const uint32_t before = bell->lanes[3].channel.changes.load();
    ASSERT_TRUE(takeFlaggedWakeup(state, *bell, mark, first));
    EXPECT_NE(pendingFlag(*bell, mark)->load(), 0) << "a wake-up is left";
    EXPECT_EQ(bell->lanes[3].channel.changes.load(), before + 1) << "the lanes were rung";
}

// A watch ends as soon as its change comes; a thread whose watches keep ending without one
// stops watching (and so stops burning processor time) until one pays again.
TEST(EventSlots, AThreadWatchesOnlyWhileWatchingPays) {
    if (sysconf(_SC_NPROCESSORS_ONLN) < 2)
        GTEST_SKIP() << "one processor: nothing is ever watched";
    std::thread([] { // a thread of its own starts with full credit
        int looks = 0;
        EXPECT_TRUE(watchBriefly(0, [&looks] { return ++looks == 1; }));
        EXPECT_EQ(looks, 1) << "the watch ends with its change";
        int watched = 0;
        for (int i = 0; i < 2 * kWatchCredit; ++i) {
            const int before = looks;
            EXPECT_FALSE(watchBriefly(0, [&looks] { return ++looks < 0; }));
            watched += looks != before ? 1 : 0;
        }
        EXPECT_EQ(watched, kWatchCredit) << "fruitless watches use up the credit";
    })
        .join();
}

TEST(EventSlots, SendStampsOfOneProcessNeverRepeat) {
    uint64_t previous = nextSendStamp();
    for (int i = 0; i < 10000; ++i) {
        const uint64_t stamp = nextSendStamp();
        ASSERT_GT(stamp, previous);
        previous = stamp;
    }
}

// A sleeper must never sleep through a change made after it read the channel's word, however
// the changes of another thread and its announcement interleave. One thread changes the word
// without pause; the sleeper reads it, notes how many changes are complete, and sleeps on it.
// A sleep that runs to its time-out although the second change after its read completed
// before then is a lost wake-up (the one between may have begun before the read).
TEST(EventSlots, NoSleeperSleepsThroughAChangeAfterItsRead) {
    constexpr uint64_t kRunNs = 500000000, kSleepNs = 100000000;
    constexpr int kRingBits = 40; // a change's number above, its end time below
    WakeChannel channel;
    const uint64_t start = monotonicNanoseconds();
    std::atomic<bool> stop{false};
    std::atomic<uint64_t> completed{0}, watchedFor{0}, watchedEnd{0};
    std::thread changer([&] {
        while (!stop) {
            announceChange(channel, false);
            const uint64_t number = ++completed;
            if (number == watchedFor.load())
                watchedEnd.store(number << kRingBits | (monotonicNanoseconds() - start));
        }
    });
    int sleeps = 0, sleptThrough = 0;
    while (sleptThrough == 0 && monotonicNanoseconds() - start < kRunNs) {
        const uint32_t seen = beginSleep(channel);
        const uint64_t second = completed.load() + 2;
        watchedFor.store(second);
        const uint64_t deadline = monotonicNanoseconds() + kSleepNs;
        const timespec at{static_cast<time_t>(deadline / 1000000000u),
                          static_cast<long>(deadline % 1000000000u)};
        const bool timedOut =
            syscall(SYS_futex, reinterpret_cast<uint32_t *>(&channel.changes),
                    FUTEX_WAIT_BITSET_PRIVATE, seen, &at, nullptr, FUTEX_BITSET_MATCH_ANY) != 0 &&
            errno == ETIMEDOUT;
        endSleep(channel);
        const uint64_t watched = watchedEnd.load();
        const uint64_t endedAt = start + (watched & ((uint64_t{1} << kRingBits) - 1));
        sleptThrough += timedOut && watched >> kRingBits == second && endedAt < deadline ? 1 : 0;
        ++sleeps;
    }
    stop = true;
    changer.join();
    EXPECT_EQ(sleptThrough, 0) << "a sleeper slept through changes, after " << sleeps << " sleeps";
    EXPECT_GT(completed.load(), 0u);
}

} // namespace
