// Opening and closing paths, and the refusal of bad paths, names and arguments.
#include <cstring>
#include <string>

#include "api_test_util.h"

using apitest::OpenPath;

namespace {

TEST(Paths, EveryCatalogueDeviceOpensAndCloses) {
    for (const std::string &name : apitest::builtin_names()) {
        const int32_t path = M_open(name.c_str());
        ASSERT_GT(path, 0) << name;
        if (name == "sim_fault_1") {
            continue; // its close fails on purpose, see FaultDevice
        }
        EXPECT_EQ(M_close(path), 0) << name;
        EXPECT_FAILS_WITH(M_close(path), ERR_MK_ILL_PATH);
    }
}

TEST(Paths, PathCountFollowsOpensAndCloses) {
    OpenPath first("sim_dio_1");
    const int32_t before = apitest::get_value(first, M_MK_PATHCNT);
    const int32_t second = M_open("sim_dio_1");
    ASSERT_GT(second, 0);
    EXPECT_NE(second, static_cast<int32_t>(first));
    EXPECT_EQ(apitest::get_value(first, M_MK_PATHCNT), before + 1);
    EXPECT_EQ(M_close(second), 0);
    EXPECT_EQ(apitest::get_value(first, M_MK_PATHCNT), before);
}

TEST(Paths, EachPathHasItsOwnChannel) {
    OpenPath a("sim_dio_1");
    OpenPath b("sim_dio_1");
    EXPECT_EQ(M_setstat(a, M_MK_CH_CURRENT, 5), 0);
    EXPECT_EQ(apitest::get_value(a, M_MK_CH_CURRENT), 5);
    EXPECT_EQ(apitest::get_value(b, M_MK_CH_CURRENT), 0);
}

TEST(BadNames, AreRefusedWithTheirOwnErrors) {
    EXPECT_FAILS_WITH(M_open(nullptr), ERR_MK_ILL_PARAM);
    EXPECT_FAILS_WITH(M_open(""), ERR_MK_NO_DEVICE);
    EXPECT_FAILS_WITH(M_open("sim_nothing"), ERR_MK_NO_DEVICE);
    EXPECT_FAILS_WITH(M_open("SIM_DIO_1"), ERR_MK_NO_DEVICE);
    EXPECT_FAILS_WITH(M_open("sim_dio_1 "), ERR_MK_NO_DEVICE);
    EXPECT_FAILS_WITH(M_open(std::string(39, 'x').c_str()), ERR_MK_NO_DEVICE);
    EXPECT_FAILS_WITH(M_open(std::string(40, 'x').c_str()), ERR_MK_NAME_TOO_LONG);
    EXPECT_FAILS_WITH(M_open(std::string(100000, 'y').c_str()), ERR_MK_NAME_TOO_LONG);
}

TEST(BadPaths, FailEveryCallWithIllPath) {
    for (int32_t path : {-1, 0, 4711, INT32_MAX, INT32_MIN}) {
        int32_t value = 0;
        uint8_t buf[4] = {};
        EXPECT_FAILS_WITH(M_close(path), ERR_MK_ILL_PATH);
        EXPECT_FAILS_WITH(M_read(path, &value), ERR_MK_ILL_PATH);
        EXPECT_FAILS_WITH(M_write(path, 1), ERR_MK_ILL_PATH);
        EXPECT_FAILS_WITH(M_getstat(path, M_LL_CH_NUMBER, &value), ERR_MK_ILL_PATH);
        EXPECT_FAILS_WITH(M_setstat(path, M_MK_CH_CURRENT, 0), ERR_MK_ILL_PATH);
        EXPECT_FAILS_WITH(M_getblock(path, buf, 4), ERR_MK_ILL_PATH);
        EXPECT_FAILS_WITH(M_setblock(path, buf, 4), ERR_MK_ILL_PATH);
    }
}

TEST(BadPaths, OtherKindsOfHandleAreNoPaths) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    int32_t value = 0;
    const auto path = static_cast<int32_t>(reinterpret_cast<intptr_t>(event));
    EXPECT_FAILS_WITH(M_getstat(path, M_LL_CH_NUMBER, &value), ERR_MK_ILL_PATH);
    EXPECT_FAILS_WITH(M_close(path), ERR_MK_ILL_PATH);
    EXPECT_TRUE(CloseHandle(event));
}

TEST(BadArguments, NullPointersAreRefused) {
    OpenPath path("sim_dio_1");
    EXPECT_FAILS_WITH(M_read(path, nullptr), ERR_MK_ILL_PARAM);
    EXPECT_FAILS_WITH(M_getstat(path, M_LL_CH_NUMBER, nullptr), ERR_MK_ILL_PARAM);
    EXPECT_FAILS_WITH(M_getstat(path, M_MK_BLK_DEV_NAME, nullptr), ERR_MK_ILL_PARAM);
    EXPECT_FAILS_WITH(M_setstat(path, M_MK_BLK_DEV_NAME, 0), ERR_MK_ILL_PARAM);
    EXPECT_FAILS_WITH(M_getblock(path, nullptr, 4), ERR_MK_ILL_PARAM);
    EXPECT_FAILS_WITH(M_setblock(path, nullptr, 4), ERR_MK_ILL_PARAM);
    M_SG_BLOCK block{4, nullptr};
    EXPECT_FAILS_WITH(M_getstat(path, M_MK_BLK_DEV_NAME, reinterpret_cast<int32_t *>(&block)),
                      ERR_MK_ILL_PARAM);
    // No data is needed for no bytes.
    EXPECT_EQ(M_getblock(path, nullptr, 0), 0);
}

TEST(BadArguments, BlockSizesOutOfRangeAreRefused) {
    OpenPath path("sim_dio_1");
    uint8_t buf[8] = {};
    for (int32_t size : {-1, INT32_MIN, INT32_MAX}) {
        EXPECT_FAILS_WITH(M_getblock(path, buf, size), ERR_MK_BLK_SIZE);
        EXPECT_FAILS_WITH(M_setblock(path, buf, size), ERR_MK_BLK_SIZE);
        M_SG_BLOCK block{size, buf};
        EXPECT_FAILS_WITH(M_getstat(path, M_MK_BLK_DEV_NAME, reinterpret_cast<int32_t *>(&block)),
                          ERR_MK_BLK_SIZE);
        EXPECT_FAILS_WITH(M_setstat(path, M_MK_BLK_DEV_NAME, reinterpret_cast<intptr_t>(&block)),
                          ERR_MK_BLK_SIZE);
    }
}

TEST(BadArguments, UnknownCodesFailInTheirLayer) {
    OpenPath path("sim_dio_1");
    int32_t value = 0;
    uint8_t buf[8] = {};
    M_SG_BLOCK block{8, buf};
    auto *blockArg = reinterpret_cast<int32_t *>(&block);
    EXPECT_FAILS_WITH(M_getstat(path, 0x1003, &value), ERR_MK_UNK_CODE);
    EXPECT_FAILS_WITH(M_getstat(path, 0x10ff, &value), ERR_MK_UNK_CODE);
    EXPECT_FAILS_WITH(M_getstat(path, 0x20ff, blockArg), ERR_MK_UNK_CODE);
    EXPECT_FAILS_WITH(M_getstat(path, 0x11ff, &value), ERR_LL_UNK_CODE);
    EXPECT_FAILS_WITH(M_getstat(path, 0x1234, &value), ERR_LL_UNK_CODE);
    EXPECT_FAILS_WITH(M_getstat(path, 0x2233, blockArg), ERR_LL_UNK_CODE);
    EXPECT_FAILS_WITH(M_getstat(path, 0x13ff, &value), ERR_BBIS_UNK_CODE);
    EXPECT_FAILS_WITH(M_getstat(path, 0x1401, &value), ERR_BBIS_UNK_CODE);
    EXPECT_FAILS_WITH(M_getstat(path, 0x2401, blockArg), ERR_BBIS_UNK_CODE);
    for (int32_t code : {0, 0x0fff, 0x1500, 0x1fff, 0x2500, 0x3000, -1, INT32_MIN}) {
        EXPECT_FAILS_WITH(M_getstat(path, code, &value), ERR_MK_UNK_CODE);
        EXPECT_FAILS_WITH(M_setstat(path, code, 0), ERR_MK_UNK_CODE);
    }
    EXPECT_FAILS_WITH(M_setstat(path, 0x13ff, 0), ERR_BBIS_UNK_CODE);
    EXPECT_FAILS_WITH(M_setstat(path, 0x11ff, 0), ERR_LL_UNK_CODE);
}

TEST(BadArguments, ReadOnlyCodesCannotBeSet) {
    OpenPath path("sim_dio_1");
    EXPECT_FAILS_WITH(M_setstat(path, M_MK_PATHCNT, 3), ERR_MK_READ_ONLY);
    EXPECT_FAILS_WITH(M_setstat(path, M_LL_CH_NUMBER, 3), ERR_MK_READ_ONLY);
    EXPECT_FAILS_WITH(M_setstat(path, M_BB_IRQ_VECT, 3), ERR_MK_READ_ONLY);
    char name[] = "renamed";
    M_SG_BLOCK block{8, name};
    EXPECT_FAILS_WITH(M_setstat(path, M_MK_BLK_DEV_NAME, reinterpret_cast<intptr_t>(&block)),
                      ERR_MK_READ_ONLY);
    EXPECT_EQ(apitest::get_text(path, M_MK_BLK_DEV_NAME), "sim_dio_1");
}

TEST(BadArguments, ChannelOutOfRangeIsRefused) {
    OpenPath path("sim_dio_1");
    EXPECT_FAILS_WITH(M_setstat(path, M_MK_CH_CURRENT, 16), ERR_LL_ILL_CHAN);
    EXPECT_FAILS_WITH(M_setstat(path, M_MK_CH_CURRENT, -1), ERR_LL_ILL_CHAN);
    EXPECT_EQ(apitest::get_value(path, M_MK_CH_CURRENT), 0);
}

} // namespace
