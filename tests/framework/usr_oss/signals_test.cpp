// Signal delivery: to the callback and to UOS_SigWait, from this process and from another,
// with masking, removal, and the end and restart of signal handling.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "send_signal.h"
#include "signal_recorder.h"
#include "trax_errors.h"
#include "trax_win32.h"
#include "usr_oss.h"

namespace {

using Codes = std::vector<uint32_t>;
using uos_test::kArrivalMs;
using uos_test::kSettleMs;
using uos_test::SendOwnSignal;
using uos_test::WaitForSignals;

// Runs the sender program as a second process; returns its exit status. A short pause
// between two codes lets the receiver see separate arrivals.
int RunSender(const std::vector<std::string> &codes) {
    return trax_test::SendFromSecondProcess(5, codes);
}

// Sends each code and lets the library thread take it before the next, so that the order
// seen does not depend on how the platform ranks events set at almost the same moment, and
// repeated codes stay separate signals even where an event set twice counts once.
void SendSpaced(const Codes &codes) {
    for (uint32_t code : codes) {
        ASSERT_TRUE(SendOwnSignal(code));
        Sleep(20);
    }
}

class CallbackSignals : public ::testing::Test {
  protected:
    void SetUp() override {
        uos_test::ResetRecorder();
        ASSERT_EQ(UOS_SigInit(uos_test::RecordSignal), 0);
    }
    void TearDown() override {
        UOS_SigExit();
        uos_test::ResetRecorder();
    }
};

TEST_F(CallbackSignals, SignalSetInThisProcessReachesTheCallbackOnce) {
    ASSERT_EQ(UOS_SigInstall(UOS_SIG_USR1), 0);
    ASSERT_TRUE(SendOwnSignal(UOS_SIG_USR1));
    EXPECT_EQ(WaitForSignals(1, kArrivalMs), Codes{UOS_SIG_USR1});
    Sleep(kSettleMs);
    EXPECT_EQ(WaitForSignals(2, 0), Codes{UOS_SIG_USR1});
}

TEST_F(CallbackSignals, SignalFromASecondProcessArrivesInOrder) {
    ASSERT_EQ(UOS_SigInstall(0x120), 0);
    ASSERT_EQ(UOS_SigInstall(0x1a1), 0);
    ASSERT_EQ(RunSender({"1a1", "120", "1a1"}), 0);
    EXPECT_EQ(WaitForSignals(3, kArrivalMs), (Codes{0x1a1, 0x120, 0x1a1}));
}

TEST_F(CallbackSignals, MaskHoldsAndUnmaskDeliversInArrivalOrder) {
    for (uint32_t code : {0x101u, 0x150u, 0x1f0u})
        ASSERT_EQ(UOS_SigInstall(code), 0);
    ASSERT_EQ(UOS_SigMask(), 0);
    SendSpaced({0x1f0, 0x101, 0x150, 0x101});
    Sleep(kSettleMs);
    EXPECT_TRUE(WaitForSignals(1, 0).empty());
    ASSERT_EQ(UOS_SigUnMask(), 0);
    EXPECT_EQ(WaitForSignals(4, kArrivalMs), (Codes{0x1f0, 0x101, 0x150, 0x101}));
}

TEST_F(CallbackSignals, QuicklySentDifferentCodesKeepTheirSendingOrder) {
    for (uint32_t code : {0x110u, 0x140u, 0x170u})
        ASSERT_EQ(UOS_SigInstall(code), 0);
    ASSERT_EQ(UOS_SigMask(), 0);
    for (uint32_t code : {0x170u, 0x110u, 0x140u})
        ASSERT_TRUE(SendOwnSignal(code));
    Sleep(kSettleMs);
    ASSERT_EQ(UOS_SigUnMask(), 0);
    EXPECT_EQ(WaitForSignals(3, kArrivalMs), (Codes{0x170, 0x110, 0x140}));
}

TEST_F(CallbackSignals, RemovedCodeIsNoLongerDeliveredOthersStill) {
    ASSERT_EQ(UOS_SigInstall(0x161), 0);
    ASSERT_EQ(UOS_SigInstall(0x162), 0);
    ASSERT_EQ(UOS_SigRemove(0x161), 0);
    ASSERT_TRUE(SendOwnSignal(0x161));
    ASSERT_TRUE(SendOwnSignal(0x162));
    EXPECT_EQ(WaitForSignals(1, kArrivalMs), Codes{0x162});
    Sleep(kSettleMs);
    EXPECT_EQ(WaitForSignals(2, 0), Codes{0x162});
}

TEST_F(CallbackSignals, EveryCodeOfTheRangeCanBeInstalledAndDelivered) {
    for (uint32_t code = UOS_SIG_MIN; code <= UOS_SIG_MAX; ++code)
        ASSERT_EQ(UOS_SigInstall(code), 0) << code;
    const Codes sent{0x1ff, 0x100, 0x13e, 0x13f, 0x17e, 0x1c0};
    SendSpaced(sent);
    EXPECT_EQ(WaitForSignals(sent.size(), kArrivalMs), sent);
    for (uint32_t code = UOS_SIG_MIN; code <= UOS_SIG_MAX; ++code)
        ASSERT_EQ(UOS_SigRemove(code), 0) << code;
}

TEST_F(CallbackSignals, CallbackMayCallLibraryFunctions) {
    ASSERT_EQ(UOS_SigInstall(0x171), 0);
    std::atomic<int32_t> installStatus{1};
    uos_test::SetRecorderAction([&](uint32_t code) {
        if (code == 0x171)
            installStatus = UOS_SigInstall(0x172);
    });
    ASSERT_TRUE(SendOwnSignal(0x171));
    ASSERT_EQ(WaitForSignals(1, kArrivalMs).size(), 1u);
    Sleep(kSettleMs);
    EXPECT_EQ(installStatus.load(), 0);
    ASSERT_TRUE(SendOwnSignal(0x172));
    EXPECT_EQ(WaitForSignals(2, kArrivalMs), (Codes{0x171, 0x172}));
}

TEST_F(CallbackSignals, NothingIsDeliveredAfterExitReturns) {
    ASSERT_EQ(UOS_SigInstall(0x181), 0);
    ASSERT_EQ(UOS_SigInstall(0x182), 0);
    ASSERT_EQ(UOS_SigMask(), 0);
    SendSpaced({0x181, 0x182, 0x181});
    uos_test::SetRecorderAction([](uint32_t) { Sleep(30); });
    ASSERT_EQ(UOS_SigUnMask(), 0);
    ASSERT_GE(WaitForSignals(1, kArrivalMs).size(), 1u);
    ASSERT_EQ(UOS_SigExit(), 0);
    const size_t atExit = WaitForSignals(0, 0).size();
    Sleep(kSettleMs);
    EXPECT_EQ(WaitForSignals(4, 0).size(), atExit);
    EXPECT_LT(atExit, 3u);
}

TEST_F(CallbackSignals, ExitFromInsideTheCallbackEndsHandling) {
    ASSERT_EQ(UOS_SigInstall(0x191), 0);
    std::atomic<int32_t> exitStatus{1};
    uos_test::SetRecorderAction([&](uint32_t) { exitStatus = UOS_SigExit(); });
    ASSERT_TRUE(SendOwnSignal(0x191));
    ASSERT_EQ(WaitForSignals(1, kArrivalMs).size(), 1u);
    for (int i = 0; i < 100 && exitStatus == 1; ++i)
        Sleep(10);
    EXPECT_EQ(exitStatus.load(), 0);
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigMask()), ERR_UOS_NOT_INIT);
    EXPECT_EQ(UOS_SigInit(nullptr), 0); // TearDown ends this one
}

class QueuedSignals : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(UOS_SigInit(nullptr), 0); }
    void TearDown() override { UOS_SigExit(); }
};

TEST_F(QueuedSignals, WaitReturnsTheQueuedSignalsInOrderThenTimesOut) {
    ASSERT_EQ(UOS_SigInstall(0x1c1), 0);
    ASSERT_EQ(UOS_SigInstall(0x1c2), 0);
    SendSpaced({0x1c2, 0x1c1, 0x1c2});
    uint32_t code = 0;
    for (uint32_t expected : {0x1c2u, 0x1c1u, 0x1c2u}) {
        ASSERT_EQ(UOS_SigWait(kArrivalMs, &code), 0);
        EXPECT_EQ(code, expected);
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigWait(50, &code)), ERR_UOS_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
}

TEST_F(QueuedSignals, WaitForeverReturnsWhenASignalArrives) {
    ASSERT_EQ(UOS_SigInstall(0x1d1), 0);
    std::thread sender([] {
        Sleep(30);
        SendOwnSignal(0x1d1);
    });
    uint32_t code = 0;
    EXPECT_EQ(UOS_SigWait(INFINITE, &code), 0);
    EXPECT_EQ(code, 0x1d1u);
    sender.join();
}

TEST_F(QueuedSignals, MaskedSignalsWaitUntilUnmask) {
    ASSERT_EQ(UOS_SigInstall(0x1d2), 0);
    ASSERT_EQ(UOS_SigMask(), 0);
    ASSERT_TRUE(SendOwnSignal(0x1d2));
    uint32_t code = 0;
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigWait(kSettleMs, &code)), ERR_UOS_TIMEOUT);
    ASSERT_EQ(UOS_SigUnMask(), 0);
    EXPECT_EQ(UOS_SigWait(kArrivalMs, &code), 0);
    EXPECT_EQ(code, 0x1d2u);
}

TEST_F(QueuedSignals, ExitWakesABlockedWaiter) {
    std::atomic<int32_t> status{1};
    std::thread waiter([&] {
        uint32_t code = 0;
        status = UOS_SigWait(INFINITE, &code);
    });
    Sleep(kSettleMs);
    ASSERT_EQ(UOS_SigExit(), 0);
    waiter.join();
    EXPECT_EQ(static_cast<uint32_t>(status.load()), ERR_UOS_NOT_INIT);
    ASSERT_EQ(UOS_SigInit(nullptr), 0); // TearDown ends this one
}

TEST_F(QueuedSignals, ExitDropsQueuedSignalsAndReinitStartsAfresh) {
    ASSERT_EQ(UOS_SigInstall(0x1e1), 0);
    ASSERT_TRUE(SendOwnSignal(0x1e1));
    Sleep(kSettleMs);
    ASSERT_EQ(UOS_SigExit(), 0);
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigExit()), ERR_UOS_NOT_INIT);

    ASSERT_EQ(UOS_SigInit(nullptr), 0);
    uint32_t code = 0;
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigInstall(0x1e1)), 0u); // exit removed it
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigWait(kSettleMs, &code)), ERR_UOS_TIMEOUT);
    ASSERT_TRUE(SendOwnSignal(0x1e1));
    EXPECT_EQ(UOS_SigWait(kArrivalMs, &code), 0);
    EXPECT_EQ(code, 0x1e1u);
}

TEST(SignalRestart, CallbackSessionCanFollowAQueueingOne) {
    uos_test::ResetRecorder();
    ASSERT_EQ(UOS_SigInit(nullptr), 0);
    ASSERT_EQ(UOS_SigInstall(0x1f1), 0);
    ASSERT_EQ(UOS_SigExit(), 0);
    ASSERT_EQ(UOS_SigInit(uos_test::RecordSignal), 0);
    ASSERT_EQ(UOS_SigInstall(0x1f1), 0);
    ASSERT_TRUE(SendOwnSignal(0x1f1));
    EXPECT_EQ(WaitForSignals(1, kArrivalMs), Codes{0x1f1});
    EXPECT_EQ(UOS_SigExit(), 0);
}

TEST(SignalEvents, NoSignalWithoutInstallEvenIfTheEventIsSet) {
    ASSERT_TRUE(SendOwnSignal(0x1f2)); // nobody waits: succeeds, signals nobody
    ASSERT_EQ(UOS_SigInit(nullptr), 0);
    ASSERT_EQ(UOS_SigInstall(0x1f2), 0);
    uint32_t code = 0;
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigWait(kSettleMs, &code)), ERR_UOS_TIMEOUT);
    EXPECT_EQ(UOS_SigExit(), 0);
}

} // namespace
