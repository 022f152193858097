// The catalogue's control interface: listing it and building a device of one's own.
#include <gtest/gtest.h>

#include <algorithm>

#include "sim_catalogue.h"
#include "sim_device.h"
#include "trax_api.h"
#include "trax_errors.h"
#include "trax_win32.h"

namespace {

TEST(Catalogue, ListsTheBuiltInDevicesFirst) {
    const std::vector<std::string> names = sim::Catalogue::names();
    ASSERT_GE(names.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
              (std::vector<std::string>{"sim_dio_1", "sim_adc_1", "sim_mt_1", "sim_fault_1"}));
}

TEST(Catalogue, EveryEntryIsComplete) {
    for (const std::string &name : sim::Catalogue::names()) {
        sim::DeviceSpec spec;
        ASSERT_TRUE(sim::Catalogue::describe(name, spec));
        for (const std::string &text : {spec.name, spec.hardwareName, spec.driverName,
                                        spec.boardName, spec.boardDriverName}) {
            EXPECT_FALSE(text.empty()) << name;
            EXPECT_LE(text.size(), sim::kMaxNameLength) << name;
        }
        EXPECT_FALSE(spec.purpose.empty()) << name;
        ASSERT_FALSE(spec.revision.empty()) << name;
        EXPECT_EQ(spec.revision.back(), '\n') << name;
    }
}

TEST(Catalogue, TestsCanAddTheirOwnDevice) {
    sim::DeviceSpec spec;
    spec.name = "test_counter_1";
    spec.hardwareName = "TEST-CNT";
    spec.driverName = "test_ll";
    spec.boardName = "TEST_BOARD";
    spec.boardDriverName = "test_bb";
    spec.revision = "test\n";
    spec.channels = {3, M_CH_INOUT, 8, M_CH_COUNTER};
    spec.faults = {{1u << static_cast<unsigned>(sim::DeviceCall::GetStat),
                    {M_BB_IRQ_VECT},
                    -1,
                    ERR_LL_DEV_FAULT}};
    ASSERT_EQ(sim::Catalogue::add(spec), 0u);
    EXPECT_EQ(sim::Catalogue::add(spec), ERR_MK_ILL_PARAM);

    const int32_t path = M_open("test_counter_1");
    ASSERT_GT(path, 0);
    int32_t value = 0;
    EXPECT_EQ(M_getstat(path, M_LL_CH_TYP, &value), 0);
    EXPECT_EQ(value, M_CH_COUNTER);
    EXPECT_EQ(M_getstat(path, M_BB_IRQ_VECT, &value), -1);
    EXPECT_EQ(GetLastError(), ERR_LL_DEV_FAULT);
    EXPECT_EQ(M_getstat(path, M_LL_ID_SIZE, &value), -1);
    EXPECT_EQ(GetLastError(), ERR_LL_NO_IDPROM);
    EXPECT_EQ(M_close(path), 0);
}

TEST(Catalogue, RefusesBadNames) {
    sim::DeviceSpec spec;
    EXPECT_EQ(sim::Catalogue::add(spec), ERR_MK_ILL_PARAM);
    spec.name = std::string(40, 'n');
    EXPECT_EQ(sim::Catalogue::add(spec), ERR_MK_NAME_TOO_LONG);
    EXPECT_EQ(M_open(spec.name.c_str()), -1);
}

TEST(IdPromBuilder, SmallPromsKeepWhatFitsAndStayConsistent) {
    sim::IdPromSpec spec{8, 0x5346, 0x0102, 0x0304, 0x05060708};
    const std::vector<uint8_t> prom = sim::build_id_prom(spec, "LONGNAME");
    ASSERT_EQ(prom.size(), 8u);
    EXPECT_EQ(prom[0], 0x46);
    EXPECT_EQ(prom[1], 0x53);
    uint16_t sum = 0;
    for (std::size_t i = 0; i < prom.size(); i += 2) {
        sum ^= static_cast<uint16_t>(prom[i] | (prom[i + 1] << 8));
    }
    EXPECT_EQ(sum, 0);
    EXPECT_TRUE(sim::build_id_prom({0}, "X").empty());
    EXPECT_EQ(sim::build_id_prom({1}, "X").size(), 0u);
    EXPECT_EQ(sim::build_id_prom({2}, "X").size(), 2u);
}

} // namespace
