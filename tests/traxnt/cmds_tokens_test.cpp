// Range tokens, hexadecimal value tokens and value names of the traxnt commands.
#include <gtest/gtest.h>

#include "cmd_util.h"
#include "input.h"

namespace {

constexpr int32_t kMaxBytes = 1023;

ElemRange Parsed(const char *token, RangeStyle style, int32_t maxIndex = kMaxBytes) {
    ElemRange range{-99, -99};
    EXPECT_TRUE(ParseRangeToken(token, style, maxIndex, &range)) << token;
    return range;
}

void ExpectInvalid(const char *token, RangeStyle style, int32_t maxIndex = kMaxBytes) {
    ElemRange range{-99, -99};
    EXPECT_FALSE(ParseRangeToken(token, style, maxIndex, &range)) << token;
    EXPECT_EQ(range.first, -99) << "an invalid token must leave the range alone";
}

TEST(RangeToken, SingleIndexAndSpan) {
    ElemRange r = Parsed("7", RangeStyle::Single);
    EXPECT_EQ(r.first, 7);
    EXPECT_EQ(r.last, 7);
    r = Parsed("3-5", RangeStyle::Single);
    EXPECT_EQ(r.first, 3);
    EXPECT_EQ(r.last, 5);
    r = Parsed("0-1023", RangeStyle::SpanOrAll);
    EXPECT_EQ(r.last, 1023);
}

TEST(RangeToken, StarMeansWholeBufferOnlyWhereAllowed) {
    ElemRange r = Parsed("*", RangeStyle::SingleOrAll, 511);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.last, 511);
    r = Parsed("*", RangeStyle::SpanOrAll, 255);
    EXPECT_EQ(r.last, 255);
    // Without the whole-buffer meaning "*" is text without digits: element 0.
    r = Parsed("*", RangeStyle::Single);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.last, 0);
}

TEST(RangeToken, LeadingDashStartsAtZeroAndTextWithoutDigitsIsZero) {
    ElemRange r = Parsed("-5", RangeStyle::Single);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.last, 5);
    // "x" converts to 0, so the range 2-0 is reversed.
    ExpectInvalid("2-x", RangeStyle::Single, 10);
    r = Parsed("4abc-6zz", RangeStyle::Single);
    EXPECT_EQ(r.first, 4);
    EXPECT_EQ(r.last, 6);
}

TEST(RangeToken, InvalidRangesAreRefused) {
    ExpectInvalid("5-3", RangeStyle::SingleOrAll);
    ExpectInvalid("1024", RangeStyle::SingleOrAll);
    ExpectInvalid("512", RangeStyle::Single, 511);
    ExpectInvalid("0-1024", RangeStyle::Single);
    ExpectInvalid("3--5", RangeStyle::Single);
    ExpectInvalid("--5", RangeStyle::Single);
}

TEST(RangeToken, FillNeedsADashOrStar) {
    ExpectInvalid("7", RangeStyle::SpanOrAll);
    ElemRange r = Parsed("7-7", RangeStyle::SpanOrAll);
    EXPECT_EQ(r.first, 7);
    EXPECT_EQ(r.last, 7);
}

TEST(RangeToken, NumbersBeyond32BitsAreInvalid) {
    ExpectInvalid("4294967296", RangeStyle::Single, INT32_MAX);
    ExpectInvalid("0-4294967301", RangeStyle::Single, INT32_MAX);
    ExpectInvalid("99999999999999999999", RangeStyle::Single, INT32_MAX);
    // 2^32 + 5 would wrap to 5 if the conversion were cut to 32 bits.
    ExpectInvalid("4294967301", RangeStyle::Single);
    ElemRange r = Parsed("2147483647", RangeStyle::Single, INT32_MAX);
    EXPECT_EQ(r.last, INT32_MAX);
}

TEST(HexNumber, DigitsWithOptionalPrefix) {
    EXPECT_TRUE(IsHexNumber("0"));
    EXPECT_TRUE(IsHexNumber("aB"));
    EXPECT_TRUE(IsHexNumber("0x1f"));
    EXPECT_TRUE(IsHexNumber("0X1F"));
    EXPECT_FALSE(IsHexNumber("0x"));
    EXPECT_FALSE(IsHexNumber("zz"));
    EXPECT_FALSE(IsHexNumber("12g"));
    EXPECT_FALSE(IsHexNumber("-1"));
}

constexpr ValueName kNames[] = {{1, "one"}, {2, "two"}};
constexpr ValueName kBits[] = {{0x01, "A "}, {0x02, "B "}, {0x100, "C "}};

TEST(ValueNames, UnlistedValuesAreUnknown) {
    EXPECT_STREQ(NameOf(kNames, 2), "two");
    EXPECT_STREQ(NameOf(kNames, 0), "unknown");
    EXPECT_STREQ(NameOf(kNames, 3), "unknown");
}

TEST(ValueNames, BitNamesInTableOrderAndZeroName) {
    char text[64] = "";
    AppendBitNames(text, sizeof text, kBits, 0x103, "NONE ");
    EXPECT_STREQ(text, "A B C ");
    text[0] = '\0';
    AppendBitNames(text, sizeof text, kBits, 0x200, "NONE ");
    EXPECT_STREQ(text, "");
    AppendBitNames(text, sizeof text, kBits, 0, "NONE ");
    EXPECT_STREQ(text, "NONE ");
}

TEST(ValueNames, BitNamesNeverOverrunTheText) {
    char text[4] = "";
    AppendBitNames(text, sizeof text, kBits, 0x103, "");
    EXPECT_STREQ(text, "A B");
}

} // namespace
