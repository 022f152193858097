// Failures of event and thread creation, and the limit of the signal queue. Linked against
// the library's objects, so that the system-call table can be replaced.
#include <gtest/gtest.h>

#include "oss_internal.h"
#include "signal_recorder.h"
#include "trax_errors.h"
#include "usr_oss.h"

namespace {

using trax::oss::sys;

HANDLE WINAPI FailCreateEvent(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

// Fails only for named events, so that UOS_SigInit's unnamed control event still works.
HANDLE WINAPI FailCreateNamedEvent(LPSECURITY_ATTRIBUTES sa, BOOL manual, BOOL initial,
                                   LPCSTR name) {
    if (name != nullptr)
        return FailCreateEvent(sa, manual, initial, name);
    return CreateEventA(sa, manual, initial, name);
}

HANDLE WINAPI FailCreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE, LPVOID, DWORD,
                               LPDWORD) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
}

class SeamTest : public ::testing::Test {
  protected:
    void TearDown() override {
        trax::oss::reset_sys();
        UOS_SigExit();
    }
};

TEST_F(SeamTest, InitFailsCleanlyWhenTheControlEventCannotBeCreated) {
    sys().createEvent = FailCreateEvent;
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigInit(nullptr)), ERR_UOS_EVENT);
    EXPECT_EQ(UOS_ErrnoGet(), ERR_UOS_EVENT);
    trax::oss::reset_sys();
    EXPECT_EQ(UOS_SigInit(nullptr), 0); // nothing was left half-initialised
}

TEST_F(SeamTest, InitFailsCleanlyWhenTheThreadCannotBeStarted) {
    sys().createThread = FailCreateThread;
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigInit(uos_test::RecordSignal)), ERR_UOS_THREAD);
    EXPECT_EQ(UOS_ErrnoGet(), ERR_UOS_THREAD);
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigExit()), ERR_UOS_NOT_INIT);
    trax::oss::reset_sys();
    EXPECT_EQ(UOS_SigInit(nullptr), 0);
}

TEST_F(SeamTest, InstallFailsWhenTheNamedEventCannotBeCreated) {
    ASSERT_EQ(UOS_SigInit(nullptr), 0);
    sys().createEvent = FailCreateNamedEvent;
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigInstall(0x1a0)), ERR_UOS_EVENT);
    EXPECT_EQ(UOS_ErrnoGet(), ERR_UOS_EVENT);
    trax::oss::reset_sys();
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigRemove(0x1a0)), ERR_UOS_NOT_INSTALLED);
    EXPECT_EQ(UOS_SigInstall(0x1a0), 0);
}

// Sends code and waits until the library thread has queued it (or dropped it).
bool SendAndSettle(uint32_t code) {
    const uint32_t before = trax::oss::signals_queued() + trax::oss::signals_dropped();
    if (!uos_test::SendOwnSignal(code))
        return false;
    for (int i = 0; i < 2000; ++i) {
        if (trax::oss::signals_queued() + trax::oss::signals_dropped() > before)
            return true;
        Sleep(1);
    }
    return false;
}

TEST_F(SeamTest, FullQueueDropsTheNewestAndCountsIt) {
    ASSERT_EQ(UOS_SigInit(nullptr), 0);
    ASSERT_EQ(UOS_SigInstall(0x1b1), 0);
    ASSERT_EQ(UOS_SigInstall(0x1b2), 0);
    ASSERT_EQ(UOS_SigMask(), 0);
    ASSERT_TRUE(SendAndSettle(0x1b1));
    for (uint32_t i = 1; i < trax::oss::kSignalQueueCapacity; ++i)
        ASSERT_TRUE(SendAndSettle(0x1b2)) << i;
    ASSERT_TRUE(SendAndSettle(0x1b1));
    EXPECT_EQ(trax::oss::signals_queued(), trax::oss::kSignalQueueCapacity);
    EXPECT_EQ(trax::oss::signals_dropped(), 1u);

    ASSERT_EQ(UOS_SigUnMask(), 0);
    uint32_t code = 0;
    ASSERT_EQ(UOS_SigWait(0, &code), 0);
    EXPECT_EQ(code, 0x1b1u); // the oldest is kept
    uint32_t rest = 0;
    while (UOS_SigWait(0, &code) == 0) {
        EXPECT_EQ(code, 0x1b2u); // the dropped newest 0x1b1 never shows
        ++rest;
    }
    EXPECT_EQ(rest, trax::oss::kSignalQueueCapacity - 1);
}

} // namespace
