// The block-buffer and debug-level commands of traxnt, driven through standard input.
#include <gtest/gtest.h>

#include "cmds_expect.h"
#include "shell_process.h"

using namespace cmdtest;

namespace {

const std::string kShowBytes =
    "Show block buffer\n bytes to show ('x' or 'x-y' [x,y=0..1023] - or '*' for all) -> ";
const std::string kSetBytes =
    "Set block buffer values\n bytes to fill ('x' or 'x-y' [x,y=0..1023]) -> ";
const std::string kFillBytes =
    "Fill block buffer with one value\n bytes to fill ('x-y' [x,y=0..1023] - or '*' for all) -> ";
const std::string kAlign = "Set block buffer alignment\n";
const std::string kAlignPrompt = " buffer alignment (1,2,4 bytes) -> ";

const std::string kLegend = " debug level:  \t        \n"
                            " ------------              \n"
                            " DBG_LEV1    :   0x0...0..1\n"
                            " DBG_LEV2    :   0x0...0..2\n"
                            " DBG_LEV3    :   0x0...0..4\n"
                            " DBG_LEVERR  :   0x0...8..0\n"
                            " DBG_NORM    :   0x4...0..0\n"
                            " DBG_INTR    :   0x8...0..0\n"
                            " --------------------------\n";
const std::string kDbgHeader =
    "Get/set debug levels\n"
    " SYNTAX: [s:set][g:get] mapi, bbis, bufrd, bufwr, ll, mk, oss, uos\n"
    " (e.g. smapi to set mapi) -> ";

std::string NoPath(const std::string &text) {
    return kNoPathWarning + text;
}

TEST(BlockBufferAlign, WordsShowTheWholeBufferAs512Words) {
    const auto outs = RunCommands("bbalgn 3 2\nbbshow *\n");
    ASSERT_EQ(outs.size(), 2u);
    EXPECT_EQ(outs[0], NoPath(kAlign + kAlignPrompt + kAlignPrompt));
    EXPECT_EQ(outs[1],
              NoPath("Show block buffer\n words to show ('x' or 'x-y' [x,y=0..511] - or '*' "
                     "for all) -> " +
                     Dump("Block buffer", std::vector<uint8_t>(1024, 0), 2)));
}

TEST(BlockBufferAlign, NonNumberKeepsTheUnitSize) {
    const auto outs = RunCommands("bbalgn 4\nbbalgn x\nbbshow 255\n");
    ASSERT_EQ(outs.size(), 3u);
    EXPECT_EQ(outs[1], NoPath(kAlign + kAlignPrompt + " \a*** not a decimal number: x\n"));
    EXPECT_EQ(outs[2], NoPath("Show block buffer\n dwords to show ('x' or 'x-y' [x,y=0..255] "
                              "- or '*' for all) -> " +
                              Dump("Block buffer", std::vector<uint8_t>(4, 0), 4)));
}

TEST(BlockBufferSet, RangeAsksEachElementAndRefusesTooLongValues) {
    const auto outs = RunCommands("bbset 3-5 11 222 22 33\nbbshow 2-6\n");
    ASSERT_EQ(outs.size(), 2u);
    EXPECT_EQ(outs[0],
              NoPath(kSetBytes + " byte[3] -> 0x byte[4] -> 0x byte[4] -> 0x byte[5] -> 0x"));
    EXPECT_EQ(outs[1], NoPath(kShowBytes + Dump("Block buffer", {0, 0x11, 0x22, 0x33, 0}, 1)));
}

TEST(BlockBufferSet, SingleIndexSetsOneElementWhereFillAsksAgain) {
    const auto outs = RunCommands("bbset 7 ab\nbbshow 6-8\nbbfill 7 7-8 cd\nbbshow 6-9\n");
    ASSERT_EQ(outs.size(), 4u);
    EXPECT_EQ(outs[0], NoPath(kSetBytes + " byte[7] -> 0x"));
    EXPECT_EQ(outs[1], NoPath(kShowBytes + Dump("Block buffer", {0, 0xab, 0}, 1)));
    const std::string fillPrompt = " bytes to fill ('x-y' [x,y=0..1023] - or '*' for all) -> ";
    EXPECT_EQ(outs[2], NoPath(kFillBytes + fillPrompt + " byte for filling -> 0x"));
    EXPECT_EQ(outs[3], NoPath(kShowBytes + Dump("Block buffer", {0, 0xcd, 0xcd, 0}, 1)));
}

TEST(BlockBufferFill, WordsAreStoredLeastSignificantByteFirst) {
    const auto outs =
        RunCommands("bbalgn 2\nbbfill * 12345 1234\nbbalgn 1\nbbshow 0-3\nbbshow 1022-1023\n");
    ASSERT_EQ(outs.size(), 5u);
    EXPECT_EQ(outs[1], NoPath("Fill block buffer with one value\n words to fill ('x-y' "
                              "[x,y=0..511] - or '*' for all) -> "
                              " word for filling -> 0x word for filling -> 0x"));
    EXPECT_EQ(outs[3], NoPath(kShowBytes + Dump("Block buffer", {0x34, 0x12, 0x34, 0x12}, 1)));
    EXPECT_EQ(outs[4], NoPath(kShowBytes + Dump("Block buffer", {0x34, 0x12}, 1)));
}

TEST(BlockBufferFill, DwordsTakeTheLowestBytesOfThePrefixedValue) {
    const auto outs = RunCommands("bbalgn 4\nbbfill 1-1 0xa1b2c3\nbbalgn 1\nbbshow 4-7\n");
    ASSERT_EQ(outs.size(), 4u);
    EXPECT_EQ(outs[3], NoPath(kShowBytes + Dump("Block buffer", {0xc3, 0xb2, 0xa1, 0}, 1)));
}

TEST(BlockBufferRange, InvalidRangesAreAskedAgain) {
    const auto outs =
        RunCommands("bbshow 5-3 1024 0-4294967296 4294967301 01234567890123456789 -1\n");
    ASSERT_EQ(outs.size(), 1u);
    const std::string prompt = " bytes to show ('x' or 'x-y' [x,y=0..1023] - or '*' for all) -> ";
    std::string expected = "Show block buffer\n";
    for (int i = 0; i < 6; ++i)
        expected += prompt;
    EXPECT_EQ(outs[0], NoPath(expected + Dump("Block buffer", {0, 0}, 1)));
}

TEST(BlockBufferSet, NonHexValueAbandonsAndChangesNothing) {
    const auto outs = RunCommands("bbset 0-1 5 zz\nbbshow 0-1\n");
    ASSERT_EQ(outs.size(), 2u);
    EXPECT_EQ(outs[0], NoPath(kSetBytes + " byte[0] -> 0x byte[1] -> 0x \a*** not a "
                                          "hexadecimal number: zz\n"));
    // The first element was stored before the bad token; the second was not touched.
    EXPECT_EQ(outs[1], NoPath(kShowBytes + Dump("Block buffer", {0x05, 0}, 1)));
}

TEST(DebugLevel, InvalidWordsAreSkippedAndGetNeedsAPath) {
    const auto outs = RunCommands("dbg xmk gfoo g smkk gmk\n");
    ASSERT_EQ(outs.size(), 1u);
    EXPECT_EQ(outs[0], NoPath(kDbgHeader + kLegend + NoPathErrLine()));
}

TEST(DebugLevel, OsServicesLevelNeedsNoPath) {
    const auto outs = RunCommands("dbg suos 8001\ndbg guos\n");
    ASSERT_EQ(outs.size(), 2u);
    EXPECT_EQ(outs[0], NoPath(kDbgHeader + kLegend + " level to set -> 0x"));
    EXPECT_EQ(outs[1], NoPath(kDbgHeader + kLegend + " got debug level=0x00008001\n"));
}

TEST(DebugLevel, LevelsOfThePathAreSetAndReadBack) {
    const auto outs = RunCommands("mo sim_dio_1\ndbg smk 40000003\ndbg gmk\ndbg gbbis\n"
                                  "dbg sbufwr nothex\n");
    ASSERT_EQ(outs.size(), 5u);
    EXPECT_EQ(outs[1], kDbgHeader + kLegend + " level to set -> 0x");
    EXPECT_EQ(outs[2], kDbgHeader + kLegend + " got debug level=0x40000003\n");
    EXPECT_EQ(outs[3], kDbgHeader + kLegend + " got debug level=0x00000000\n");
    EXPECT_EQ(outs[4], kDbgHeader + kLegend +
                           " level to set -> 0x \a*** not a hexadecimal "
                           "number: nothex\n");
}

} // namespace
