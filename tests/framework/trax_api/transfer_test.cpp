// Data transfer and id-proms of the catalogue devices.
#include <algorithm>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

#include "api_test_util.h"

using apitest::get_block_code;
using apitest::get_value;
using apitest::OpenPath;

namespace {

TEST(BinaryIo, EveryChannelReadsBackItsBit) {
    OpenPath path("sim_dio_1");
    for (int32_t ch = 0; ch < 16; ++ch) {
        ASSERT_EQ(M_setstat(path, M_MK_CH_CURRENT, ch), 0);
        EXPECT_EQ(M_write(path, ch % 3 == 0 ? 1 : 0), 0);
    }
    for (int32_t ch = 0; ch < 16; ++ch) {
        ASSERT_EQ(M_setstat(path, M_MK_CH_CURRENT, ch), 0);
        int32_t value = -1;
        EXPECT_EQ(M_read(path, &value), 0);
        EXPECT_EQ(value, ch % 3 == 0 ? 1 : 0) << ch;
    }
}

TEST(BinaryIo, BlockMemoryKeepsWhatWasWritten) {
    OpenPath path("sim_dio_1");
    std::vector<uint8_t> out(1024);
    std::iota(out.begin(), out.end(), 7);
    EXPECT_EQ(M_setblock(path, out.data(), 1024), 1024);
    std::vector<uint8_t> in(1024, 0);
    EXPECT_EQ(M_getblock(path, in.data(), 1024), 1024);
    EXPECT_EQ(in, out);
}

TEST(BinaryIo, BlocksBeyondTheMemoryEndMoveOnlyWhatFits) {
    OpenPath path("sim_dio_1");
    std::vector<uint8_t> out(1500, 0x5A);
    EXPECT_EQ(M_setblock(path, out.data(), 1500), 1024);
    std::vector<uint8_t> in(1500, 0);
    EXPECT_EQ(M_getblock(path, in.data(), 1500), 1024);
    EXPECT_EQ(in[1023], 0x5A);
    EXPECT_EQ(in[1024], 0);
    EXPECT_EQ(M_getblock(path, in.data(), 0), 0);
}

TEST(AnalogIn, ReadingsChangeOverTime) {
    OpenPath path("sim_adc_1");
    for (int32_t ch : {0, 1, 2}) {
        ASSERT_EQ(M_setstat(path, M_MK_CH_CURRENT, ch), 0);
        int32_t first = 0;
        int32_t second = 0;
        EXPECT_EQ(M_read(path, &first), 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        EXPECT_EQ(M_read(path, &second), 0);
        EXPECT_NE(first, second) << "channel " << ch;
        for (int32_t v : {first, second}) {
            EXPECT_GE(v, 0);
            EXPECT_LE(v, 0xFFFF);
        }
    }
}

TEST(AnalogIn, WritingFails) {
    OpenPath path("sim_adc_1");
    EXPECT_FAILS_WITH(M_write(path, 1), ERR_LL_WRITE);
    uint8_t buf[16] = {};
    EXPECT_FAILS_WITH(M_setblock(path, buf, 16), ERR_LL_WRITE);
}

TEST(AnalogIn, BlockReadFillsTheWholeBuffer) {
    OpenPath path("sim_adc_1");
    std::vector<uint8_t> buf(34, 0xEE);
    EXPECT_EQ(M_getblock(path, buf.data(), 33), 33);
    EXPECT_EQ(buf[33], 0xEE);
    EXPECT_NE(std::count(buf.begin(), buf.begin() + 33, buf[0]), 33);
}

TEST(IdProm, SizesMatchTheContents) {
    struct Expect {
        const char *device;
        int32_t deviceProm;
        int32_t boardProm;
    };
    for (const Expect &e : {Expect{"sim_dio_1", 64, 32}, Expect{"sim_adc_1", 128, 16}}) {
        OpenPath path(e.device);
        EXPECT_EQ(get_value(path, M_LL_ID_SIZE), e.deviceProm) << e.device;
        EXPECT_EQ(get_value(path, M_BB_ID_SIZE), e.boardProm) << e.device;
        EXPECT_EQ(get_block_code(path, M_LL_BLK_ID_DATA, 1024).size(),
                  static_cast<std::size_t>(e.deviceProm));
        EXPECT_EQ(get_block_code(path, M_BB_BLK_ID_DATA, 1024).size(),
                  static_cast<std::size_t>(e.boardProm));
    }
}

uint16_t word_at(const std::vector<uint8_t> &prom, std::size_t index) {
    return static_cast<uint16_t>(prom[index * 2] | (prom[index * 2 + 1] << 8));
}

TEST(IdProm, ContentsCarryMagicAndAValidChecksum) {
    OpenPath path("sim_dio_1");
    for (int32_t code : {M_LL_BLK_ID_DATA, M_BB_BLK_ID_DATA}) {
        const std::vector<uint8_t> prom = get_block_code(path, code, 256);
        ASSERT_GE(prom.size(), 16u);
        EXPECT_EQ(word_at(prom, 0), 0x5346);
        uint16_t sum = 0;
        for (std::size_t w = 0; w < prom.size() / 2; ++w) {
            sum ^= word_at(prom, w);
        }
        EXPECT_EQ(sum, 0) << std::hex << code;
    }
    const std::vector<uint8_t> prom = get_block_code(path, M_LL_BLK_ID_DATA, 64);
    EXPECT_EQ(std::string(prom.begin() + 10, prom.begin() + 19), "SIM-DIO16");
}

TEST(IdProm, ShortBlocksGetTheFirstBytesOnly) {
    OpenPath path("sim_dio_1");
    const std::vector<uint8_t> whole = get_block_code(path, M_LL_BLK_ID_DATA, 64);
    const std::vector<uint8_t> part = get_block_code(path, M_LL_BLK_ID_DATA, 5);
    ASSERT_EQ(part.size(), 5u);
    EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin()));
    EXPECT_TRUE(get_block_code(path, M_LL_BLK_ID_DATA, 0).empty());
}

TEST(IdProm, SoftwareDeviceHasNone) {
    OpenPath path("sim_mt_1");
    int32_t size = 0;
    EXPECT_FAILS_WITH(M_getstat(path, M_LL_ID_SIZE, &size), ERR_LL_NO_IDPROM);
    uint8_t buf[8];
    M_SG_BLOCK block{8, buf};
    EXPECT_FAILS_WITH(M_getstat(path, M_LL_BLK_ID_DATA, reinterpret_cast<int32_t *>(&block)),
                      ERR_LL_NO_IDPROM);
    EXPECT_FAILS_WITH(M_getstat(path, M_BB_ID_SIZE, &size), ERR_BBIS_NO_IDPROM);
}

} // namespace
