// Alarms of the MT test device arrive as signals of the process that armed them.
#include <gtest/gtest.h>

#include "signal_recorder.h"
#include "trax_api.h"
#include "trax_errors.h"
#include "trax_win32.h"
#include "usr_oss.h"

namespace {

class MtAlarmSignals : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = M_open("sim_mt_1");
        ASSERT_GE(path_, 0) << UOS_ErrString(static_cast<int32_t>(UOS_ErrnoGet()));
        ASSERT_EQ(UOS_SigInit(nullptr), 0);
    }
    void TearDown() override {
        for (int nr = 0; nr < 2; ++nr)
            M_setstat(path_, MT_ALARM_CLR, nr);
        UOS_SigExit();
        if (path_ >= 0)
            M_close(path_);
    }

    int32_t SetAlarm(int nr, int msec, int cyclic, int signal) {
        MT_ALARM_BLK alarm{nr, msec, cyclic, signal};
        M_SG_BLOCK block{static_cast<int32_t>(sizeof alarm), &alarm};
        return M_setstat(path_, MT_BLK_ALARM_SET, reinterpret_cast<intptr_t>(&block));
    }

    // Takes every signal that is already queued; returns how many there were.
    static int Drain() {
        uint32_t code = 0;
        int count = 0;
        while (UOS_SigWait(0, &code) == 0)
            ++count;
        return count;
    }

    int32_t path_ = -1;
};

TEST_F(MtAlarmSignals, OneShotAlarmSendsItsSignalOnce) {
    ASSERT_EQ(UOS_SigInstall(0x105), 0);
    ASSERT_EQ(SetAlarm(0, 30, 0, 0x105), 0);
    uint32_t code = 0;
    ASSERT_EQ(UOS_SigWait(uos_test::kArrivalMs, &code), 0);
    EXPECT_EQ(code, 0x105u);
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigWait(150, &code)), ERR_UOS_TIMEOUT);
}

TEST_F(MtAlarmSignals, CyclicAlarmRepeatsUntilCleared) {
    ASSERT_EQ(UOS_SigInstall(0x106), 0);
    ASSERT_EQ(SetAlarm(1, 20, 1, 0x106), 0);
    uint32_t code = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(UOS_SigWait(uos_test::kArrivalMs, &code), 0) << i;
        EXPECT_EQ(code, 0x106u);
    }
    ASSERT_EQ(M_setstat(path_, MT_ALARM_CLR, 1), 0);
    Sleep(uos_test::kSettleMs);
    Drain();
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigWait(150, &code)), ERR_UOS_TIMEOUT);
}

TEST_F(MtAlarmSignals, AlarmOfAnUninstalledCodeReachesNobody) {
    ASSERT_EQ(UOS_SigInstall(0x107), 0);
    ASSERT_EQ(SetAlarm(0, 20, 0, 0x108), 0);
    uint32_t code = 0;
    EXPECT_EQ(static_cast<uint32_t>(UOS_SigWait(200, &code)), ERR_UOS_TIMEOUT);
}

} // namespace
