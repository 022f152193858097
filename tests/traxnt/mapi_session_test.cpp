// Session tests of the device API commands that a fixed transcript cannot express well.
#include <string>

#include "run_prog.h"

namespace {

std::string Repeat(const std::string &text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i)
        all += text;
    return all;
}

TEST(MapiSession, PathSixteenShowsInPromptAndList) {
#if defined(_WIN32)
    GTEST_SKIP() << "path numbers are the system's handle values on Windows";
#endif
    // Paths are handle numbers: ten paths in the main thread and a thread handle come
    // first, so the fourth path that the second thread opens is number 16.
    const ProgResult result =
        RunProg(BinPath("traxnt"), {Repeat("mo sim_dio_1\n", 10) + "tc\n", "ts\n",
                                    Repeat("mo sim_adc_1\n", 4) + "ps\n4\n"});
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(1u, CountOf(result.out, " status = 0x10\n"));
    EXPECT_EQ(6u, CountOf(result.out, "Thr:2/2 (tid:0x"));
    EXPECT_NE(std::string::npos, result.out.find("/ Dev:sim_adc_1 (path:0x10) ==> cmd: -Select"));
    EXPECT_NE(std::string::npos, result.out.find("\n 4 |  sim_adc_1 | 0x010\n"));
}

TEST(MapiSession, DeviceNameOf39CharactersReachesTheLibrary) {
    const ProgResult result =
        RunTraxnt("mo " + std::string(39, 'd') + "\nmo " + std::string(40, 'd') + "\n");
    EXPECT_TRUE(StatusIs(0, result));
    // The longest name that fits is passed on (the library knows no such device); one
    // character more is refused before the library is asked.
    EXPECT_EQ(1u, CountOf(result.out,
                          " status = 0xffffffff\n \aERR_MK_NO_DEVICE: unknown device name\n"));
    EXPECT_EQ(1u, CountOf(result.out, " \a*** device name too long: "));
}

TEST(MapiSession, BlockDumpsStayInsideTheBuffer) {
    // The whole buffer in each unit size: the library gets exactly 1024 bytes.
    const ProgResult result =
        RunTraxnt("mo sim_dio_1\nmgb\n1024\nbbalgn 2\nmsb\n512\nbbalgn 4\nmgb\n256\n"
                  "mgb\n257\n-1\n0\n");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(1u, CountOf(result.out, " bytes to read (max 1024) -> "));
    EXPECT_EQ(1u, CountOf(result.out, " words to write (max 512) -> "));
    EXPECT_EQ(4u, CountOf(result.out, " dwords to read (max 256) -> "));
    EXPECT_EQ(4u, CountOf(result.out, "Block buffer - after M_"));
    EXPECT_EQ(0u, CountOf(result.out, "\a"));
}

TEST(MapiSession, BlockGetStatDumpsTheBytesDelivered) {
    // sim_dio_1's id-prom has 64 bytes: asked for 1024, the library delivers 64, and the
    // dump after the call shows those, not the 1024 asked for.
    const ProgResult result = RunTraxnt("mo sim_dio_1\nmg 2101 1024\n");
    EXPECT_TRUE(StatusIs(0, result));
    const size_t after = result.out.find("Block buffer - after M_getstat\n");
    ASSERT_NE(std::string::npos, after);
    const std::string dump = result.out.substr(after);
    EXPECT_NE(std::string::npos, dump.find("\n 0030: "));
    EXPECT_EQ(std::string::npos, dump.find("\n 0040: "));
    // The dump before the call covers the whole request.
    EXPECT_NE(std::string::npos, result.out.find("\n 03f0: "));
}

TEST(MapiSession, FailedCallsLeaveEveryTableAsItWas) {
    // With no path open every call that needs one is refused; the prompt never changes.
    const ProgResult result =
        RunTraxnt("mc\nmr\nmw 1\nmg 1101 0\nms 1002 0\nmgb 1\nmsb 1\nmg 2101 1\nms 2101 1\n");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(9u, CountOf(result.out, " \aERR_MK_ILL_PATH: bad or closed path\n"));
    EXPECT_EQ(10u, CountOf(result.out, "/ Dev:<none> (path:-) ==> cmd: -"));
}

} // namespace
