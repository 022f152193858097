#include <gtest/gtest.h>

#include <unistd.h>

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
    const std::vector<uint64_t> stamps{50, 20, 90, 10, 70, 30, 100, 60, 40, 80};
    ASSERT_EQ(stamps.size(), kEventSlots);
    for (uint64_t stamp : stamps)
        ASSERT_TRUE(publishWakeup(state, stamp)) << stamp;
    EXPECT_FALSE(hasFreeSlot(state));
    EXPECT_FALSE(publishWakeup(state, 110)) << "every slot is taken";

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
    EXPECT_EQ(order, (std::vector<uint64_t>{5, 20, 30, 40, 50, 60, 70, 80, 90, 100}));

    publishWakeup(state, 1);
    publishWakeup(state, 2);
    dropWakeups(state);
    EXPECT_FALSE(oldestWakeup(state).has_value());
    EXPECT_EQ(state.departures.changes.load(), 12u) << "each departure is announced";
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

} // namespace
