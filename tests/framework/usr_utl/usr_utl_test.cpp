// The utility library: hex text conversion, memory dumps and bit dumps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "usr_utl.h"

namespace {

std::string dump(const char *title, const char *data, uint32_t size, uint32_t fmt) {
    testing::internal::CaptureStdout();
    UTL_Memdump(title, data, size, fmt);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

const char kData[] = "TRAX\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\xff\xfe\x7f";

TEST(Atox, ReadsHexDigitsWithOrWithoutPrefix) {
    EXPECT_EQ(UTL_Atox("1a2B"), 0x1a2bu);
    EXPECT_EQ(UTL_Atox("0x1a2B"), 0x1a2bu);
    EXPECT_EQ(UTL_Atox("0XFF"), 0xffu);
    EXPECT_EQ(UTL_Atox("ffffffff"), 0xffffffffu);
    EXPECT_EQ(UTL_Atox("  42"), 0x42u);
    EXPECT_EQ(UTL_ATOX("0x10"), 0x10u);
}

TEST(Atox, StopsAtTheFirstNonHexCharacter) {
    EXPECT_EQ(UTL_Atox("12g4"), 0x12u);
    EXPECT_EQ(UTL_Atox("0x"), 0u);
    EXPECT_EQ(UTL_Atox("xyz"), 0u);
    EXPECT_EQ(UTL_Atox(""), 0u);
    EXPECT_EQ(UTL_Atox(nullptr), 0u);
    EXPECT_EQ(UTL_Atox("-1"), 0u);
}

TEST(Atox, KeepsTheLastEightDigitsOfLongTexts) {
    EXPECT_EQ(UTL_Atox("123456789"), 0x23456789u);
    EXPECT_EQ(UTL_Atox(std::string(10000, 'f').c_str()), 0xffffffffu);
}

TEST(Memdump, BytesShowOffsetsHexAndCharacters) {
    EXPECT_EQ(dump("bytes", kData, 19, 1),
              "bytes\n"
              " 0000: 54 52 41 58 01 02 03 04 05 06 07 08 09 0a 0b 0c  |TRAX............|\n"
              " 0010: ff fe 7f                                         |...|\n");
}

TEST(Memdump, WordsShowNumbersAndOddBytesAlone) {
    EXPECT_EQ(dump("words", kData, 19, 2),
              "words\n"
              " 0000: 5254 5841 0201 0403 0605 0807 0a09 0c0b  |TRAX............|\n"
              " 0010: feff 7f                                  |...|\n");
}

TEST(Memdump, DwordsShowNumbersAndLeftoverBytes) {
    EXPECT_EQ(dump("dwords", kData, 19, 4),
              "dwords\n"
              " 0000: 58415254 04030201 08070605 0c0b0a09  |TRAX............|\n"
              " 0010: ff fe 7f                             |...|\n");
}

TEST(Memdump, OtherUnitWidthsDumpBytes) {
    EXPECT_EQ(dump("x", kData, 3, 3), dump("x", kData, 3, 1));
    EXPECT_EQ(dump("x", kData, 3, 0), dump("x", kData, 3, 1));
}

TEST(Memdump, EmptyAndMissingDataPrintOneLine) {
    EXPECT_EQ(dump("empty", kData, 0, 2), "empty\n (empty)\n");
    EXPECT_EQ(dump("empty", nullptr, 0, 2), "empty\n (empty)\n");
    EXPECT_EQ(dump("none", nullptr, 16, 2), "none\n *** no data: null address\n");
    EXPECT_EQ(dump(nullptr, kData, 1, 1).substr(0, 8), "\n 0000: ");
}

TEST(Memdump, LongDumpsCountOffsetsOn) {
    std::string big(0x10010, 'a');
    const std::string out = dump("big", big.data(), static_cast<uint32_t>(big.size()), 4);
    EXPECT_NE(out.find("\n 10000: 61616161"), std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1 + 0x1001);
}

TEST(Bindump, GroupsBitsInFoursFromTheRight) {
    char buf[255];
    EXPECT_STREQ(UTL_Bindump(0x2d, 6, buf), "10 1101");
    EXPECT_STREQ(UTL_Bindump(0xdeadbeef, 32, buf), "1101 1110 1010 1101 1011 1110 1110 1111");
    EXPECT_STREQ(UTL_Bindump(0xff, 4, buf), "1111");
    EXPECT_STREQ(UTL_Bindump(1, 1, buf), "1");
    EXPECT_STREQ(UTL_BINDUMP(0x10, 5, buf), "1 0000");
}

TEST(Bindump, OutOfRangeBitCountsStayWithinTheBuffer) {
    char buf[64];
    std::memset(buf, 'z', sizeof buf);
    EXPECT_STREQ(UTL_Bindump(0xffffffff, 1000, buf), "1111 1111 1111 1111 1111 1111 1111 1111");
    EXPECT_EQ(buf[40], 'z');
    EXPECT_STREQ(UTL_Bindump(5, 0, buf), "");
    EXPECT_EQ(UTL_Bindump(5, 3, nullptr), nullptr);
}

TEST(Ident, NamesTheLibrary) {
    EXPECT_EQ(std::string(UTL_Ident()).rfind("USR_UTL - ", 0), 0u);
    EXPECT_EQ(UTL_IDENT(), UTL_Ident());
}

} // namespace
