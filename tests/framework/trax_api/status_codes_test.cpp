// Status codes of the kernel, the low-level drivers and the boards on every catalogue device.
#include <cstring>
#include <span>
#include <string>

#include "api_test_util.h"

using apitest::get_text;
using apitest::get_value;
using apitest::OpenPath;

namespace {

constexpr int32_t kKernelStandard[] = {
    M_MK_NBR_ADDR_SPACE, M_MK_CH_CURRENT,  M_MK_IO_MODE,         M_MK_IRQ_ENABLE,
    M_MK_IRQ_COUNT,      M_MK_DEBUG_LEVEL, M_MK_API_DEBUG_LEVEL, M_MK_OSS_DEBUG_LEVEL,
    M_MK_LOCKMODE,       M_MK_PATHCNT,     M_MK_DEV_SLOT,        M_MK_DEV_ADDRMODE,
    M_MK_DEV_DATAMODE,   M_MK_BUSTYPE,     M_MK_IRQ_INFO,        M_MK_IRQ_MODE,
    M_MK_IRQ_INSTALLED,  M_MK_TICKRATE,    M_MK_REV_SIZE};
constexpr int32_t kKernelNames[] = {M_MK_BLK_BB_HANDLER, M_MK_BLK_BRD_NAME, M_MK_BLK_LL_HANDLER,
                                    M_MK_BLK_DEV_NAME,   M_MK_BLK_HW_NAME,  M_MK_BLK_REV_ID};
constexpr int32_t kDriverStandard[] = {
    M_LL_CH_NUMBER, M_LL_CH_DIR,      M_LL_CH_LEN,          M_LL_CH_TYP,         M_LL_IRQ_COUNT,
    M_LL_ID_CHECK,  M_LL_DEBUG_LEVEL, M_BUF_RD_DEBUG_LEVEL, M_BUF_WR_DEBUG_LEVEL};
constexpr int32_t kBoardStandard[] = {M_BB_IRQ_VECT,      M_BB_IRQ_LEVEL, M_BB_IRQ_PRIORITY,
                                      M_BB_IRQ_EXP_COUNT, M_BB_ID_CHECK,  M_BB_DEBUG_LEVEL};
constexpr int32_t kDebugLevels[] = {M_MK_DEBUG_LEVEL, M_MK_API_DEBUG_LEVEL, M_MK_OSS_DEBUG_LEVEL,
                                    M_LL_DEBUG_LEVEL, M_BUF_RD_DEBUG_LEVEL, M_BUF_WR_DEBUG_LEVEL,
                                    M_BB_DEBUG_LEVEL};

// The error-path device fails some codes on purpose; the others serve every code.
bool fails_on_purpose(const std::string &device, int32_t code) {
    if (device != "sim_fault_1") {
        return false;
    }
    for (int32_t faulty : {M_LL_CH_NUMBER, M_MK_BLK_HW_NAME, M_MK_IRQ_MODE, M_MK_TICKRATE,
                           M_LL_IRQ_COUNT, M_BB_IRQ_LEVEL}) {
        if (code == faulty) {
            return true;
        }
    }
    return false;
}

void expect_standard_codes(const std::string &device, int32_t path,
                           std::span<const int32_t> codes) {
    for (int32_t code : codes) {
        int32_t value = 0;
        if (fails_on_purpose(device, code)) {
            EXPECT_FAILS_WITH(M_getstat(path, code, &value), ERR_LL_DEV_FAULT);
        } else {
            EXPECT_EQ(M_getstat(path, code, &value), 0) << device << std::hex << " 0x" << code;
        }
    }
}

TEST(StatusCodes, EveryDeviceAnswersEveryStandardCode) {
    for (const std::string &device : apitest::builtin_names()) {
        const int32_t path = M_open(device.c_str());
        ASSERT_GT(path, 0);
        expect_standard_codes(device, path, kKernelStandard);
        expect_standard_codes(device, path, kDriverStandard);
        expect_standard_codes(device, path, kBoardStandard);
        if (device != "sim_fault_1") {
            EXPECT_EQ(M_close(path), 0);
        }
    }
}

TEST(StatusCodes, EveryDeviceAnswersTheNameCodes) {
    for (const std::string &device : apitest::builtin_names()) {
        const int32_t path = M_open(device.c_str());
        ASSERT_GT(path, 0);
        for (int32_t code : kKernelNames) {
            if (fails_on_purpose(device, code)) {
                continue;
            }
            const std::string text = get_text(path, code, 512);
            EXPECT_FALSE(text.empty()) << device << std::hex << " 0x" << code;
            EXPECT_LE(text.size(), code == M_MK_BLK_REV_ID ? 511u : 39u);
        }
        EXPECT_EQ(get_text(path, M_MK_BLK_DEV_NAME), device);
        if (device != "sim_fault_1") {
            EXPECT_EQ(M_close(path), 0);
        }
    }
}

TEST(StatusCodes, DioFiguresShowSeveralNames) {
    OpenPath path("sim_dio_1");
    EXPECT_EQ(get_value(path, M_MK_DEV_ADDRMODE), 0x103);
    EXPECT_EQ(get_value(path, M_MK_BUSTYPE), OSS_BUSTYPE_PCI);
    EXPECT_EQ(get_value(path, M_MK_TICKRATE), 1000);
    EXPECT_EQ(get_value(path, M_LL_CH_NUMBER), 16);
    EXPECT_EQ(get_value(path, M_LL_CH_DIR), M_CH_INOUT);
    EXPECT_EQ(get_value(path, M_LL_CH_LEN), 1);
    EXPECT_EQ(get_value(path, M_LL_CH_TYP), M_CH_BINARY);
    EXPECT_EQ(get_text(path, M_MK_BLK_BRD_NAME), "SIM_PCI_CARRIER");
    EXPECT_EQ(get_text(path, M_MK_BLK_BB_HANDLER), "sim_bb_pci");
}

TEST(StatusCodes, RevisionTextMatchesItsSize) {
    OpenPath path("sim_dio_1");
    const int32_t size = get_value(path, M_MK_REV_SIZE);
    ASSERT_GT(size, 1);
    const std::vector<uint8_t> rev = apitest::get_block_code(path, M_MK_BLK_REV_ID, size);
    ASSERT_EQ(rev.size(), static_cast<std::size_t>(size));
    EXPECT_EQ(rev.back(), 0);
    EXPECT_EQ(std::strlen(reinterpret_cast<const char *>(rev.data())),
              static_cast<std::size_t>(size - 1));
    EXPECT_EQ(rev[rev.size() - 2], '\n');
}

TEST(StatusCodes, TextsAreCutToTheBlockAndStayTerminated) {
    OpenPath path("sim_dio_1");
    EXPECT_EQ(apitest::get_block_code(path, M_MK_BLK_DEV_NAME, 40).size(), 10u);
    const std::vector<uint8_t> cut = apitest::get_block_code(path, M_MK_BLK_DEV_NAME, 4);
    ASSERT_EQ(cut.size(), 4u);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(cut.data())), "sim");
    EXPECT_TRUE(apitest::get_block_code(path, M_MK_BLK_DEV_NAME, 0).empty());
}

TEST(DebugLevels, ReadBackWhatWasSetPerDevice) {
    OpenPath dio("sim_dio_1");
    OpenPath adc("sim_adc_1");
    uint32_t level = 0x80000001u;
    for (int32_t code : kDebugLevels) {
        EXPECT_EQ(M_setstat(dio, code, static_cast<int32_t>(level)), 0) << std::hex << code;
        EXPECT_EQ(M_setstat(adc, code, 0), 0) << std::hex << code;
        level += 0x10;
    }
    level = 0x80000001u;
    for (int32_t code : kDebugLevels) {
        EXPECT_EQ(static_cast<uint32_t>(get_value(dio, code)), level) << std::hex << code;
        EXPECT_EQ(get_value(adc, code), 0) << std::hex << code;
        level += 0x10;
    }
}

TEST(IoMode, NonZeroModeAdvancesTheChannelAndWraps) {
    OpenPath path("sim_mt_1");
    EXPECT_EQ(M_setstat(path, M_MK_IO_MODE, 5), 0);
    EXPECT_EQ(get_value(path, M_MK_IO_MODE), 5);
    EXPECT_EQ(M_setstat(path, M_MK_CH_CURRENT, 2), 0);
    for (int32_t value : {12, 13, 10, 11}) {
        EXPECT_EQ(M_write(path, value), 0);
    }
    EXPECT_EQ(get_value(path, M_MK_CH_CURRENT), 2);
    EXPECT_EQ(M_setstat(path, M_MK_CH_CURRENT, 0), 0);
    for (int32_t expected : {10, 11, 12, 13, 10}) {
        int32_t value = -1;
        EXPECT_EQ(M_read(path, &value), 0);
        EXPECT_EQ(value, expected);
    }
    EXPECT_EQ(get_value(path, M_MK_CH_CURRENT), 1);
}

TEST(IoMode, ZeroModeStaysOnTheChannel) {
    OpenPath path("sim_mt_1");
    EXPECT_EQ(M_setstat(path, M_MK_IO_MODE, M_IO_EXEC), 0);
    EXPECT_EQ(M_setstat(path, M_MK_CH_CURRENT, 3), 0);
    EXPECT_EQ(M_write(path, 77), 0);
    int32_t value = 0;
    EXPECT_EQ(M_read(path, &value), 0);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(get_value(path, M_MK_CH_CURRENT), 3);
}

TEST(AddressSpaces, RecordsGiveAddressAndSize) {
    OpenPath path("sim_dio_1");
    ASSERT_EQ(get_value(path, M_MK_NBR_ADDR_SPACE), 2);
    struct Record {
        int32_t space;
        uint32_t address;
        uint32_t size;
    } phys{1, 0, 0}, virt{1, 0, 0};
    M_SG_BLOCK block{12, &phys};
    EXPECT_EQ(M_getstat(path, M_MK_BLK_PHYSADDR, reinterpret_cast<int32_t *>(&block)), 0);
    block.data = &virt;
    EXPECT_EQ(M_getstat(path, M_MK_BLK_VIRTADDR, reinterpret_cast<int32_t *>(&block)), 0);
    EXPECT_EQ(block.size, 12);
    EXPECT_NE(phys.address, 0u);
    EXPECT_NE(virt.address, phys.address);
    EXPECT_EQ(phys.size, virt.size);
    EXPECT_GT(virt.size, 0u);

    Record bad{2, 0, 0};
    block.data = &bad;
    EXPECT_FAILS_WITH(M_getstat(path, M_MK_BLK_PHYSADDR, reinterpret_cast<int32_t *>(&block)),
                      ERR_MK_ILL_PARAM);
    block.size = 8;
    EXPECT_FAILS_WITH(M_getstat(path, M_MK_BLK_VIRTADDR, reinterpret_cast<int32_t *>(&block)),
                      ERR_MK_BLK_SIZE);
    // The text names what was wrong with a block that is too short for its record.
    EXPECT_NE(std::string(M_errstring(static_cast<int32_t>(ERR_MK_BLK_SIZE))).find("too small"),
              std::string::npos);
}

TEST(AddressSpaces, SoftwareDeviceHasNone) {
    OpenPath path("sim_mt_1");
    EXPECT_EQ(get_value(path, M_MK_NBR_ADDR_SPACE), 0);
    int32_t record[3] = {0, 0, 0};
    M_SG_BLOCK block{12, record};
    EXPECT_FAILS_WITH(M_getstat(path, M_MK_BLK_PHYSADDR, reinterpret_cast<int32_t *>(&block)),
                      ERR_MK_ILL_PARAM);
}

} // namespace
