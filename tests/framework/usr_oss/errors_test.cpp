// Error numbers and texts, identification, debug level, and every error return of the
// signal functions (each returns its number and leaves it as the thread's last error).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "signal_recorder.h"
#include "trax_error_text.h"
#include "trax_errors.h"
#include "trax_win32.h"
#include "usr_oss.h"

namespace {

// ---- error number and texts ----

TEST(UosErrno, SetIsReadBackAndSharedWithTheLastError) {
    EXPECT_EQ(UOS_ErrnoSet(0x1234u), 0x1234u);
    EXPECT_EQ(UOS_ErrnoGet(), 0x1234u);
    EXPECT_EQ(GetLastError(), 0x1234u);
    SetLastError(ERR_MK_ILL_PATH);
    EXPECT_EQ(UOS_ErrnoGet(), ERR_MK_ILL_PATH);
}

TEST(UosErrno, IsKeptPerThread) {
    UOS_ErrnoSet(7);
    uint32_t seenByOther = 0;
    std::thread other([&] {
        UOS_ErrnoSet(9);
        seenByOther = UOS_ErrnoGet();
    });
    other.join();
    EXPECT_EQ(seenByOther, 9u);
    EXPECT_EQ(UOS_ErrnoGet(), 7u);
}

TEST(UosErrString, GivesTheTableTextForKnownAndUnknownNumbers) {
    for (uint32_t code : {ERR_UOS, ERR_UOS_TIMEOUT, ERR_MK_NO_DEVICE, 0x12345678u, 0u}) {
        SCOPED_TRACE(code);
        EXPECT_STREQ(UOS_ErrString(static_cast<int32_t>(code)), trax_error_text(code));
        EXPECT_STREQ(UOS_ERRSTRING(static_cast<int32_t>(code)), trax_error_text(code));
    }
    EXPECT_NE(std::string(UOS_ErrString(0x12345678)).find("12345678"), std::string::npos);
}

TEST(UosErrString, ThreadSafeVariantWritesIntoTheCallersBuffer) {
    char buf[512];
    memset(buf, 'x', sizeof buf);
    EXPECT_EQ(UOS_ErrStringTs(static_cast<int32_t>(ERR_UOS_ILL_SIG), buf), buf);
    EXPECT_STREQ(buf, trax_error_text(ERR_UOS_ILL_SIG));
    EXPECT_STREQ(UOS_ErrStringTs(static_cast<int32_t>(ERR_UOS_BUSY), nullptr),
                 trax_error_text(ERR_UOS_BUSY));
}

TEST(UosErrString, TextsOfDifferentErrorsDiffer) {
    const std::string notInit = UOS_ErrString(static_cast<int32_t>(ERR_UOS_NOT_INIT));
    const std::string busy = UOS_ErrString(static_cast<int32_t>(ERR_UOS_BUSY));
    EXPECT_FALSE(notInit.empty());
    EXPECT_NE(notInit, busy);
}

TEST(UosIdent, MixedAndUpperCaseNamesGiveTheSameText) {
    EXPECT_GT(strlen(UOS_Ident()), 0u);
    EXPECT_STREQ(UOS_IDENT(), UOS_Ident());
}

TEST(UosDbgLev, StartsAtZeroAndIsWritable) {
    EXPECT_EQ(G_UOS_DbgLev, 0u);
    G_UOS_DbgLev = 0x8000u;
    EXPECT_EQ(G_UOS_DbgLev, 0x8000u);
    G_UOS_DbgLev = 0;
}

// ---- export list ----

TEST(UosExports, EveryEntryNameResolvesByName) {
    void *lib = dlopen(TRAX_BIN_DIR "/libvelk_usr_oss.so", RTLD_NOW);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char *name : {"UOS_ErrnoGet",
                             "UOS_ErrnoSet",
                             "UOS_ErrString",
                             "UOS_ErrStringTs",
                             "UOS_Ident",
                             "UOS_SigInit",
                             "UOS_SigExit",
                             "UOS_SigInstall",
                             "UOS_SigRemove",
                             "UOS_SigMask",
                             "UOS_SigUnMask",
                             "UOS_SigWait",
                             "UOS_Random",
                             "UOS_RandomMap",
                             "UOS_MsecTimerGet",
                             "UOS_MsecTimerResolution",
                             "UOS_Delay",
                             "UOS_MikroDelayInit",
                             "UOS_MikroDelay",
                             "UOS_IDENT",
                             "UOS_ERRSTRING",
                             "UOS_RANDOM",
                             "UOS_RANDOM_MAP",
                             "UOS_MSEC_TIMER_GET",
                             "UOS_MSEC_TIMER_RESOLUTION",
                             "UOS_DELAY",
                             "UOS_MIKRO_DELAY_INIT",
                             "UOS_MIKRO_DELAY",
                             "UOS_SIG_INIT",
                             "UOS_SIG_EXIT",
                             "UOS_SIG_INSTALL",
                             "UOS_SIG_REMOVE",
                             "UOS_SIG_MASK",
                             "UOS_SIG_UN_MASK",
                             "UOS_SIG_WAIT",
                             "G_UOS_DbgLev"}) {
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    }
    EXPECT_EQ(dlsym(lib, "trax_sig_event_name"), nullptr);
    dlclose(lib);
}

// ---- error returns of the signal functions ----

// Checks that a call's status is the expected error and that it is also the last error.
void ExpectFailure(int32_t status, uint32_t expected) {
    EXPECT_EQ(static_cast<uint32_t>(status), expected);
    EXPECT_LT(status, 0);
    EXPECT_EQ(UOS_ErrnoGet(), expected);
}

TEST(UosSignalErrors, EveryCallWithoutInitFailsWithNotInit) {
    uint32_t code = 0;
    ExpectFailure(UOS_SigExit(), ERR_UOS_NOT_INIT);
    ExpectFailure(UOS_SigInstall(UOS_SIG_USR1), ERR_UOS_NOT_INIT);
    ExpectFailure(UOS_SigRemove(UOS_SIG_USR1), ERR_UOS_NOT_INIT);
    ExpectFailure(UOS_SigMask(), ERR_UOS_NOT_INIT);
    ExpectFailure(UOS_SigUnMask(), ERR_UOS_NOT_INIT);
    ExpectFailure(UOS_SigWait(0, &code), ERR_UOS_NOT_INIT);
    ExpectFailure(UOS_SIG_WAIT(10, &code), ERR_UOS_NOT_INIT);
}

class UosSignalErrorsInit : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(UOS_SigInit(nullptr), 0); }
    void TearDown() override { EXPECT_EQ(UOS_SigExit(), 0); }
};

TEST_F(UosSignalErrorsInit, CodesOutsideTheSignalRangeAreRefused) {
    for (uint32_t bad : {0u, 0xffu, 0x200u, 0x1100u, 0xffffffffu}) {
        SCOPED_TRACE(bad);
        ExpectFailure(UOS_SigInstall(bad), ERR_UOS_ILL_SIG);
        ExpectFailure(UOS_SigRemove(bad), ERR_UOS_ILL_SIG);
    }
    EXPECT_EQ(UOS_SigInstall(UOS_SIG_MIN), 0);
    EXPECT_EQ(UOS_SigInstall(UOS_SIG_MAX), 0);
}

TEST_F(UosSignalErrorsInit, SecondInitFailsAndKeepsTheFirst) {
    ExpectFailure(UOS_SigInit(uos_test::RecordSignal), ERR_UOS_ALREADY_INIT);
    uint32_t code = 0;
    ExpectFailure(UOS_SigWait(0, &code), ERR_UOS_TIMEOUT); // still the queueing session
}

TEST_F(UosSignalErrorsInit, InstallTwiceAndRemoveUnknownFail) {
    ASSERT_EQ(UOS_SigInstall(0x130), 0);
    ExpectFailure(UOS_SigInstall(0x130), ERR_UOS_ALREADY_INSTALLED);
    ExpectFailure(UOS_SigRemove(0x131), ERR_UOS_NOT_INSTALLED);
    EXPECT_EQ(UOS_SigRemove(0x130), 0);
    ExpectFailure(UOS_SigRemove(0x130), ERR_UOS_NOT_INSTALLED);
}

TEST_F(UosSignalErrorsInit, WaitWithNullPointerOrTimeOutFails) {
    ExpectFailure(UOS_SigWait(0, nullptr), ERR_UOS_ILL_PARAM);
    uint32_t code = 0x5a5a;
    ExpectFailure(UOS_SigWait(0, &code), ERR_UOS_TIMEOUT);
    ExpectFailure(UOS_SigWait(20, &code), ERR_UOS_TIMEOUT);
    EXPECT_EQ(code, 0x5a5au);
}

TEST_F(UosSignalErrorsInit, SecondConcurrentWaiterGetsBusy) {
    ASSERT_EQ(UOS_SigInstall(0x132), 0);
    int32_t firstStatus = 1;
    uint32_t firstCode = 0;
    std::thread first([&] { firstStatus = UOS_SigWait(uos_test::kArrivalMs, &firstCode); });
    // Poll until the first waiter is in place: the second then gets BUSY.
    int32_t status = 0;
    uint32_t code = 0;
    for (int i = 0; i < 100; ++i) {
        status = UOS_SigWait(0, &code);
        if (static_cast<uint32_t>(status) == ERR_UOS_BUSY)
            break;
        Sleep(5);
    }
    ExpectFailure(status, ERR_UOS_BUSY);
    ASSERT_TRUE(uos_test::SendOwnSignal(0x132));
    first.join();
    EXPECT_EQ(firstStatus, 0);
    EXPECT_EQ(firstCode, 0x132u);
}

TEST(UosSignalErrors, OfConcurrentInitsExactlyOneSucceeds) {
    std::atomic<int> successes{0};
    std::atomic<int> alreadyInit{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            const int32_t status = UOS_SigInit(nullptr);
            if (status == 0)
                ++successes;
            else if (static_cast<uint32_t>(status) == ERR_UOS_ALREADY_INIT)
                ++alreadyInit;
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(successes.load(), 1);
    EXPECT_EQ(alreadyInit.load(), 3);
    EXPECT_EQ(UOS_SigExit(), 0);
}

TEST(UosSignalErrors, WaitWhileACallbackIsRegisteredFails) {
    ASSERT_EQ(UOS_SigInit(uos_test::RecordSignal), 0);
    uint32_t code = 0;
    ExpectFailure(UOS_SigWait(0, &code), ERR_UOS_HANDLER_ACTIVE);
    EXPECT_EQ(UOS_SigExit(), 0);
}

TEST(UosSignalErrors, SuccessReturnsZero) {
    EXPECT_EQ(UOS_SIG_INIT(nullptr), 0);
    EXPECT_EQ(UOS_SIG_INSTALL(UOS_SIG_USR2), 0);
    EXPECT_EQ(UOS_SIG_MASK(), 0);
    EXPECT_EQ(UOS_SIG_UN_MASK(), 0);
    EXPECT_EQ(UOS_SIG_REMOVE(UOS_SIG_USR2), 0);
    EXPECT_EQ(UOS_SIG_EXIT(), 0);
}

} // namespace
