// The error-path device: chosen queries and closing fail, everything else works.
#include "api_test_util.h"

using apitest::get_value;

namespace {

TEST(FaultDevice, ChosenQueriesFailWithADeviceFault) {
    const int32_t path = M_open("sim_fault_1");
    ASSERT_GT(path, 0);
    int32_t value = 0;
    EXPECT_FAILS_WITH(M_getstat(path, M_LL_CH_NUMBER, &value), ERR_LL_DEV_FAULT);
    EXPECT_FAILS_WITH(M_getstat(path, M_MK_TICKRATE, &value), ERR_LL_DEV_FAULT);
    char name[40];
    M_SG_BLOCK block{40, name};
    EXPECT_FAILS_WITH(M_getstat(path, M_MK_BLK_HW_NAME, reinterpret_cast<int32_t *>(&block)),
                      ERR_LL_DEV_FAULT);
    EXPECT_EQ(apitest::get_text(path, M_MK_BLK_DEV_NAME), "sim_fault_1");
    EXPECT_EQ(get_value(path, M_MK_BUSTYPE), 6);
    EXPECT_EQ(get_value(path, M_MK_LOCKMODE), 0);
    EXPECT_EQ(get_value(path, M_MK_DEV_ADDRMODE), 0x200);
}

TEST(FaultDevice, FailedCloseLeavesThePathOpen) {
    const int32_t path = M_open("sim_fault_1");
    ASSERT_GT(path, 0);
    const int32_t count = get_value(path, M_MK_PATHCNT);
    EXPECT_FAILS_WITH(M_close(path), ERR_LL_DEV_FAULT);
    EXPECT_FAILS_WITH(M_close(path), ERR_LL_DEV_FAULT);
    EXPECT_EQ(get_value(path, M_MK_PATHCNT), count);
    EXPECT_EQ(M_setstat(path, M_MK_CH_CURRENT, 1), 0);
    EXPECT_EQ(M_write(path, 1), 0);
}

TEST(FaultDevice, IdPromSizeWorksButItsDataFails) {
    const int32_t path = M_open("sim_fault_1");
    ASSERT_GT(path, 0);
    const int32_t size = get_value(path, M_LL_ID_SIZE);
    EXPECT_GT(size, 0);
    uint8_t buf[64];
    M_SG_BLOCK block{size, buf};
    EXPECT_FAILS_WITH(M_getstat(path, M_LL_BLK_ID_DATA, reinterpret_cast<int32_t *>(&block)),
                      ERR_LL_DEV_FAULT);
    EXPECT_EQ(get_value(path, M_BB_ID_SIZE), 8);
}

} // namespace
