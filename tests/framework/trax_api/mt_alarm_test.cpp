// Alarms of the MT test driver arrive as the process's named signal events.
#include "api_test_util.h"
#include "sig_event_name.h"

using apitest::OpenPath;

namespace {

/// The named event through which signal reaches this process, as a receiver creates it.
class SignalEvent {
  public:
    explicit SignalEvent(uint32_t signal) {
        char name[TRAX_SIG_EVENT_NAME_MAX];
        event_ = CreateEventA(nullptr, FALSE, FALSE,
                              trax_sig_event_name(GetCurrentProcessId(), signal, name));
        EXPECT_NE(event_, nullptr);
    }
    ~SignalEvent() { CloseHandle(event_); }
    SignalEvent(const SignalEvent &) = delete;
    SignalEvent &operator=(const SignalEvent &) = delete;

    bool arrives_within(DWORD ms) { return WaitForSingleObject(event_, ms) == WAIT_OBJECT_0; }

  private:
    HANDLE event_;
};

int32_t set_alarm(int32_t path, MT_ALARM_BLK alarm, int32_t size = sizeof(MT_ALARM_BLK)) {
    M_SG_BLOCK block{size, &alarm};
    return M_setstat(path, MT_BLK_ALARM_SET, reinterpret_cast<intptr_t>(&block));
}

TEST(MtAlarms, OneShotAlarmSignalsOnce) {
    OpenPath path("sim_mt_1");
    SignalEvent event(0x120);
    ASSERT_EQ(set_alarm(path, {0, 50, 0, 0x120}), 0);
    EXPECT_TRUE(event.arrives_within(2000));
    EXPECT_FALSE(event.arrives_within(300));
}

TEST(MtAlarms, CyclicAlarmRepeatsUntilCleared) {
    OpenPath path("sim_mt_1");
    SignalEvent event(0x121);
    ASSERT_EQ(set_alarm(path, {3, 40, 1, 0x121}), 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(event.arrives_within(2000)) << "signal " << i;
    }
    ASSERT_EQ(M_setstat(path, MT_ALARM_CLR, 3), 0);
    event.arrives_within(100); // one may have been on its way when clearing
    EXPECT_FALSE(event.arrives_within(300));
}

TEST(MtAlarms, ClosingTheLastPathDisarms) {
    SignalEvent event(0x122);
    const int32_t path = M_open("sim_mt_1");
    ASSERT_GT(path, 0);
    ASSERT_EQ(set_alarm(path, {7, 150, 1, 0x122}), 0);
    ASSERT_EQ(M_close(path), 0);
    EXPECT_FALSE(event.arrives_within(500));
}

TEST(MtAlarms, BadAlarmsAreRefused) {
    OpenPath path("sim_mt_1");
    EXPECT_FAILS_WITH(set_alarm(path, {8, 100, 0, 0x101}), ERR_LL_ILL_ALARM);
    EXPECT_FAILS_WITH(set_alarm(path, {-1, 100, 0, 0x101}), ERR_LL_ILL_ALARM);
    EXPECT_FAILS_WITH(set_alarm(path, {0, 0, 0, 0x101}), ERR_LL_ILL_TIME);
    EXPECT_FAILS_WITH(set_alarm(path, {0, -5, 1, 0x101}), ERR_LL_ILL_TIME);
    EXPECT_FAILS_WITH(set_alarm(path, {0, 100, 0, 0xff}), ERR_LL_ILL_SIG);
    EXPECT_FAILS_WITH(set_alarm(path, {0, 100, 0, 0x200}), ERR_LL_ILL_SIG);
    EXPECT_FAILS_WITH(set_alarm(path, {0, 100, 0, 0x101}, 15), ERR_LL_BLK_SHORT);
    EXPECT_FAILS_WITH(set_alarm(path, {0, 100, 0, 0x101}, -16), ERR_MK_BLK_SIZE);
    EXPECT_FAILS_WITH(M_setstat(path, MT_BLK_ALARM_SET, 0), ERR_MK_ILL_PARAM);
    EXPECT_FAILS_WITH(M_setstat(path, MT_ALARM_CLR, 8), ERR_LL_ILL_ALARM);
    EXPECT_FAILS_WITH(M_setstat(path, MT_ALARM_CLR, -1), ERR_LL_ILL_ALARM);
}

TEST(MtAlarms, OtherDevicesDoNotKnowTheCodes) {
    OpenPath path("sim_dio_1");
    EXPECT_FAILS_WITH(set_alarm(path, {0, 100, 0, 0x101}), ERR_LL_UNK_CODE);
    EXPECT_FAILS_WITH(M_setstat(path, MT_ALARM_CLR, 0), ERR_LL_UNK_CODE);
}

} // namespace
