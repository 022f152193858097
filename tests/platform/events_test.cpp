#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "trax_win32.h"

namespace {

// Names unique to this process, so parallel test runs never meet.
std::string uniqueName(const char *suffix) {
    return "ptest-" + std::to_string(GetCurrentProcessId()) + "-" + suffix;
}

TEST(UnnamedEvents, AutoResetReleasesOneWaitAndResets) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(SetEvent(event));
    EXPECT_TRUE(SetEvent(event)) << "setting a set event is harmless";
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "two sets merge into one";
    CloseHandle(event);
}

TEST(UnnamedEvents, ManualResetStaysSetUntilReset) {
    HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
    EXPECT_TRUE(ResetEvent(event)) << "resetting a reset event is harmless";
    CloseHandle(event);
}

struct Waiters {
    HANDLE event = nullptr;
    std::atomic<int> woken{0};
};

DWORD WINAPI waitOnce(LPVOID param) {
    auto *waiters = static_cast<Waiters *>(param);
    if (WaitForSingleObject(waiters->event, 300) == WAIT_OBJECT_0)
        ++waiters->woken;
    return 0;
}

TEST(UnnamedEvents, AutoResetWakesExactlyOneOfSeveralWaiters) {
    Waiters waiters;
    waiters.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE threads[3];
    for (HANDLE &thread : threads)
        thread = CreateThread(nullptr, 0, waitOnce, &waiters, 0, nullptr);
    Sleep(30);
    SetEvent(waiters.event);
    for (HANDLE thread : threads) {
        EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    EXPECT_EQ(waiters.woken.load(), 1);
    CloseHandle(waiters.event);
}

TEST(UnnamedEvents, AWaitingThreadIsWokenBySetFromAnother) {
    Waiters waiters;
    waiters.event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, waitOnce, &waiters, 0, nullptr);
    Sleep(20);
    SetEvent(waiters.event);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(waiters.woken.load(), 1);
    CloseHandle(thread);
    CloseHandle(waiters.event);
}

TEST(NamedEvents, CreatingANameAgainOpensTheSameEvent) {
    const std::string name = uniqueName("same");
    SetLastError(1);
    HANDLE first = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(first, second);

    EXPECT_TRUE(SetEvent(second));
    EXPECT_EQ(WaitForSingleObject(first, 1000), WAIT_OBJECT_0);
    CloseHandle(first);
    EXPECT_TRUE(SetEvent(second)) << "the event lives while one handle is open";
    EXPECT_EQ(WaitForSingleObject(second, 1000), WAIT_OBJECT_0);
    CloseHandle(second);
}

TEST(NamedEvents, EverySetQueuesOneWakeUp) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, uniqueName("queue").c_str());
    ASSERT_NE(event, nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(SetEvent(event));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0) << "wake-up " << i;
    EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(NamedEvents, InitialStateQueuesOneWakeUpAndResetDropsAll) {
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, uniqueName("initial").c_str());
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    SetEvent(event);
    SetEvent(event);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(NamedEvents, ANameIsFreeAgainAfterItsLastHandleCloses) {
    const std::string name = uniqueName("reuse");
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    SetEvent(event);
    CloseHandle(event);
    event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "a new event, not an opener";
    EXPECT_EQ(WaitForSingleObject(event, 20), WAIT_TIMEOUT) << "old wake-ups died with it";
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(NamedEvents, NameLengthAndResetModeAreChecked) {
    const std::string longest(200, 'L');
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, longest.c_str());
    ASSERT_NE(event, nullptr) << "200 characters are allowed";
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0);
    CloseHandle(event);

    const std::string tooLong(201, 'L');
    SetLastError(0);
    EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, tooLong.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));

    SetLastError(0);
    EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, uniqueName("manual").c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));

    HANDLE unnamed = CreateEventA(nullptr, FALSE, FALSE, "");
    ASSERT_NE(unnamed, nullptr) << "an empty name means unnamed";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(unnamed);
}

TEST(WaitForMultiple, ReturnsTheWakeUpsInTheOrderTheyWereSent) {
    HANDLE events[3];
    const char *suffixes[] = {"m0", "m1", "m2"};
    for (int i = 0; i < 3; ++i)
        events[i] = CreateEventA(nullptr, FALSE, FALSE, uniqueName(suffixes[i]).c_str());
    SetEvent(events[2]);
    SetEvent(events[0]);
    SetEvent(events[2]);
    SetEvent(events[1]);
    const DWORD expected[] = {2, 0, 2, 1};
    for (DWORD index : expected)
        EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 1000), WAIT_OBJECT_0 + index);
    EXPECT_EQ(WaitForMultipleObjects(3, events, FALSE, 20), WAIT_TIMEOUT);
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST(WaitForMultiple, AnUnnamedEventCountsAsEarliest) {
    HANDLE named = CreateEventA(nullptr, FALSE, FALSE, uniqueName("mix").c_str());
    HANDLE control = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE events[] = {named, control};
    SetEvent(named);
    SetEvent(control);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 1000), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 1000), WAIT_OBJECT_0);
    CloseHandle(named);
    CloseHandle(control);
}

TEST(WaitForMultiple, WakesWhenAnotherThreadSetsOneEvent) {
    HANDLE events[] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                       CreateEventA(nullptr, FALSE, FALSE, uniqueName("wake").c_str())};
    HANDLE setter = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            Sleep(30);
            SetEvent(param);
            return 0;
        },
        events[1], 0, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 5000), WAIT_OBJECT_0 + 1);
    WaitForSingleObject(setter, 5000);
    CloseHandle(setter);
    for (HANDLE event : events)
        CloseHandle(event);
}

// A thread that waits on two events and keeps the result.
struct PairWaiter {
    HANDLE events[2];
    std::atomic<DWORD> result{WAIT_FAILED};
    HANDLE thread = nullptr;

    void start() {
        thread = CreateThread(
            nullptr, 0,
            [](LPVOID param) -> DWORD {
                auto *self = static_cast<PairWaiter *>(param);
                self->result = WaitForMultipleObjects(2, self->events, FALSE, 5000);
                return 0;
            },
            this, 0, nullptr);
    }
    DWORD finish() {
        EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
        CloseHandle(thread);
        return result;
    }
};

// Waiting threads sleep on lanes of their own, more threads than lanes sharing them: a set
// wakes every thread that waits for its event, also after another thread that waited for
// the same event beside it has gone on to other things.
TEST(WaitForMultiple, ASetWakesEachThreadThatWaitsForItsEvent) {
    constexpr int kThreads = 40;
    const HANDLE never = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::vector<std::unique_ptr<PairWaiter>> own(kThreads);
    for (int i = 0; i < kThreads; ++i) {
        own[i] = std::make_unique<PairWaiter>();
        own[i]->events[0] = never;
        own[i]->events[1] = CreateEventA(nullptr, FALSE, FALSE,
                                         uniqueName(("lane" + std::to_string(i)).c_str()).c_str());
        own[i]->start();
    }
    for (int i = kThreads - 1; i >= 0; --i)
        SetEvent(own[i]->events[1]);
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(own[i]->finish(), WAIT_OBJECT_0 + 1) << "thread " << i;
        CloseHandle(own[i]->events[1]);
    }

    const HANDLE both = CreateEventA(nullptr, FALSE, FALSE, uniqueName("both").c_str());
    PairWaiter stays{{both, CreateEventA(nullptr, FALSE, FALSE, nullptr)}};
    PairWaiter leaves{{both, CreateEventA(nullptr, FALSE, FALSE, nullptr)}};
    stays.start();
    leaves.start();
    SetEvent(leaves.events[1]);
    EXPECT_EQ(leaves.finish(), WAIT_OBJECT_0 + 1);
    SetEvent(both);
    EXPECT_EQ(stays.finish(), WAIT_OBJECT_0) << "the thread still waiting was woken";
    for (HANDLE event : {both, never, stays.events[1], leaves.events[1]})
        CloseHandle(event);
}

// A thread that waits once on a set of two, says so, and then lives on (idle, with its
// kept set) until told to finish.
struct OnceWaiter {
    HANDLE set[2];
    DWORD timeoutMs;
    HANDLE entering = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE waited = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    HANDLE finish = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    std::atomic<DWORD> result{0};
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            auto *self = static_cast<OnceWaiter *>(param);
            SetEvent(self->entering);
            self->result = WaitForMultipleObjects(2, self->set, FALSE, self->timeoutMs);
            SetEvent(self->waited);
            return WaitForSingleObject(self->finish, 10000);
        },
        this, 0, nullptr);

    ~OnceWaiter() {
        SetEvent(finish);
        WaitForSingleObject(thread, 10000);
        for (HANDLE handle : {thread, entering, waited, finish})
            CloseHandle(handle);
    }
};

// A thread keeps the objects of its last wait set in use between its waits. That must never
// keep a closed handle's object alive once no wait uses it: whichever thread closes it, and
// whether between two waits, during a wait or after the thread's end, its name is free again
// once no wait is using it, and a wait on the set with the closed handle fails.
TEST(WaitForMultiple, HandlesKeptBetweenWaitsNeverOutliveTheirClose) {
    const std::string name = uniqueName("kept");
    auto nameIsFree = [&name] {
        HANDLE again = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
        const bool fresh = again != nullptr && GetLastError() == ERROR_SUCCESS;
        CloseHandle(again);
        return fresh;
    };
    HANDLE set[] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                    CreateEventA(nullptr, FALSE, FALSE, name.c_str())};
    for (int round = 0; round < 2; ++round)
        EXPECT_EQ(WaitForMultipleObjects(2, set, FALSE, 0), WAIT_TIMEOUT);
    CloseHandle(set[1]);
    SetLastError(0);
    EXPECT_EQ(WaitForMultipleObjects(2, set, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(nameIsFree()) << "closed on the waiting thread";

    for (const bool during : {false, true}) {
        set[1] = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
        OnceWaiter waiter{{set[0], set[1]}, during ? 5000u : 0u};
        if (during) {
            ASSERT_EQ(WaitForSingleObject(waiter.entering, 5000), WAIT_OBJECT_0);
            CloseHandle(set[1]);
            SetEvent(set[0]);
        }
        ASSERT_EQ(WaitForSingleObject(waiter.waited, 5000), WAIT_OBJECT_0);
        if (!during)
            CloseHandle(set[1]);
        EXPECT_TRUE(nameIsFree()) << (during ? "closed during" : "closed after")
                                  << " another thread's wait, which lives on";
    }

    set[1] = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    { OnceWaiter ended{{set[0], set[1]}, 0}; }
    CloseHandle(set[1]);
    EXPECT_TRUE(nameIsFree()) << "closed after the waiting thread ended";

    // A full set, then one whose last handle is bad: the kept set is let go whole.
    HANDLE full[64];
    for (HANDLE &handle : full)
        handle = set[0];
    EXPECT_EQ(WaitForMultipleObjects(64, full, FALSE, 0), WAIT_TIMEOUT);
    full[63] = nullptr;
    EXPECT_EQ(WaitForMultipleObjects(64, full, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(set[0]);
}

TEST(WaitForMultiple, RejectsBadArguments) {
    HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
    HANDLE many[65];
    for (HANDLE &h : many)
        h = event;
    struct Case {
        DWORD count;
        const HANDLE *handles;
        BOOL waitAll;
    };
    for (Case c : {Case{0, many, FALSE}, Case{65, many, FALSE}, Case{1, nullptr, FALSE},
                   Case{1, many, TRUE}}) {
        SetLastError(0);
        EXPECT_EQ(WaitForMultipleObjects(c.count, c.handles, c.waitAll, 0), WAIT_FAILED);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
    EXPECT_EQ(WaitForMultipleObjects(64, many, FALSE, 0), WAIT_OBJECT_0) << "64 is allowed";
    CloseHandle(event);
}

// Each set must wake a thread that waits for its event, whatever else rings the thread's lane
// meanwhile: here sets of an event it waited on before (its lane stays entered there), which
// flood in while it goes to sleep again and again, and sets from several threads at once into
// a wait on two events. A receiver that lets a wake-up lie for a second fails the test, with
// the count of what was sent and taken and whether a wake-up was pending; each part runs
// for a bounded time.
TEST(NamedEvents, NoWakeUpIsLostWhileSetsFloodTheLanes) {
    using Clock = std::chrono::steady_clock;
    constexpr auto kRunFor = std::chrono::milliseconds(1500);
    constexpr DWORD kStallMs = 1000;
    const HANDLE target = CreateEventA(nullptr, FALSE, FALSE, uniqueName("stress").c_str());
    const HANDLE other = CreateEventA(nullptr, FALSE, FALSE, uniqueName("stress-other").c_str());
    const HANDLE control = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(target, nullptr);
    ASSERT_NE(other, nullptr);
    std::atomic<bool> stop{false};
    std::atomic<long> sent{0}, taken{0};
    std::atomic<bool> stalled{false};
    // Takes wake-ups of `target` (in a set with the control event when `withControl`) until
    // stopped; a wait that times out while a wake-up is pending is a lost wake-up.
    auto receive = [&](bool withControl) {
        const HANDLE set[] = {control, target};
        while (!stop) {
            const DWORD result = withControl ? WaitForMultipleObjects(2, set, FALSE, kStallMs)
                                             : WaitForSingleObject(target, kStallMs);
            if (result == (withControl ? WAIT_OBJECT_0 + 1 : WAIT_OBJECT_0)) {
                ++taken;
            } else if (!stop && result == WAIT_TIMEOUT && sent.load() > taken.load()) {
                const bool pending = WaitForSingleObject(target, 0) == WAIT_OBJECT_0;
                ADD_FAILURE() << "no wake-up taken for " << kStallMs << " ms; sent " << sent
                              << ", taken " << taken << ", a wake-up was "
                              << (pending ? "pending" : "not pending");
                stalled = true;
                stop = true;
            }
        }
    };

    // Part 1: ping-pong sets of `target` while another thread floods `other`, whose lanes hold
    // the receiver's.
    std::thread flood([&] {
        while (!stop) {
            SetEvent(other);
            ResetEvent(other);
        }
    });
    std::thread receiver([&] {
        WaitForSingleObject(other, 0);
        receive(false);
    });
    for (const auto until = Clock::now() + kRunFor; !stop && Clock::now() < until;) {
        const long before = taken.load();
        ++sent;
        SetEvent(target);
        while (!stop && taken.load() == before)
            std::this_thread::yield();
        // A moment without sets, so that the receiver goes to sleep before the next one.
        for (const auto resume = Clock::now() + std::chrono::microseconds(20);
             Clock::now() < resume;) {
        }
    }
    stop = true;
    SetEvent(target);
    receiver.join();
    flood.join();
    EXPECT_GT(taken.load(), 0);

    // Part 2: four threads flood `target` as fast as a receiver on it and an unnamed event
    // takes them.
    stop = stalled.load();
    sent = taken = 0;
    ResetEvent(target);
    std::thread receiver2([&] { receive(true); });
    std::vector<std::thread> senders;
    const auto until = Clock::now() + kRunFor;
    for (int i = 0; i < 4; ++i)
        senders.emplace_back([&] {
            while (!stop && Clock::now() < until) {
                ++sent;
                if (!SetEvent(target))
                    --sent;
            }
        });
    for (std::thread &sender : senders)
        sender.join();
    while (!stop && taken.load() < sent.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    stop = true;
    SetEvent(control);
    receiver2.join();
    EXPECT_EQ(taken.load(), sent.load()) << "every set of the flood was taken";
    for (HANDLE handle : {target, other, control})
        CloseHandle(handle);
}

} // namespace
