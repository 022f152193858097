// Running out of memory inside the device API: each call fails with an error number whose
// text tells it, nothing is left half made, and no exception reaches the C caller.
#include <dlfcn.h>

#include <string>

#include "api_test_util.h"
#include "failing_new.h"

using apitest::get_value;
using failing_new::SweepAllocations;

namespace {

// The device API loads its YAML reader library at its first parse, and that library's
// initialisers (yaml-cpp's) end the process when an allocation fails, as at any program's
// start. Loading it before failures are injected keeps the sweeps on the API's own code;
// the API's own load then finds it loaded.
class ReaderLibraryLoaded : public ::testing::Environment {
    void SetUp() override { ASSERT_NE(dlopen(TRAX_YAML_READER_PATH, RTLD_NOW), nullptr); }
};
const auto *const kReaderLibraryLoaded =
    ::testing::AddGlobalTestEnvironment(new ReaderLibraryLoaded);

TEST(AllocationFailure, OpenFailsCleanlyAndCountsNoPath) {
    int32_t path = -1;
    SweepAllocations([&] { path = M_open("sim_mt_1"); },
                     [&](bool failed) {
                         if (path > 0) {
                             EXPECT_EQ(M_close(path), 0);
                             return;
                         }
                         EXPECT_TRUE(failed);
                         const auto error = static_cast<uint32_t>(GetLastError());
                         EXPECT_TRUE(error == ERR_MK_NO_MEM || error == ERR_MK_PATHS_FULL)
                             << M_errstring(static_cast<int32_t>(error));
                     });
    // None of the failed opens is still counted as a path of the device.
    apitest::OpenPath only("sim_mt_1");
    EXPECT_EQ(get_value(only, M_MK_PATHCNT), 1);
}

TEST(AllocationFailure, AlarmThatCannotBeArmedLeavesNoneBehind) {
    apitest::OpenPath path("sim_mt_1");
    MT_ALARM_BLK alarm{1, 60000, 0, 0x150};
    M_SG_BLOCK block{sizeof alarm, &alarm};
    int32_t result = 0;
    SweepAllocations(
        [&] { result = M_setstat(path, MT_BLK_ALARM_SET, reinterpret_cast<intptr_t>(&block)); },
        [&](bool failed) {
            if (result == 0)
                return;
            EXPECT_TRUE(failed);
            EXPECT_EQ(static_cast<uint32_t>(GetLastError()), ERR_MK_NO_MEM);
        });
    EXPECT_EQ(M_setstat(path, MT_ALARM_CLR, 1), 0);
}

TEST(AllocationFailure, NullTextBufferGetsTheLibraryText) {
    EXPECT_STREQ(M_errstringTs(static_cast<int32_t>(ERR_MK_NO_MEM), nullptr),
                 "ERR_MK_NO_MEM: out of memory");
}

} // namespace
