// The error table must know every number that any layer can return, and say clearly
// when it does not know one.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "errors.h"
#include "trax_error_text.h"

namespace {

// Reads every "#define <prefix>NAME value" of a header, so that the test follows the
// header when numbers are added.
std::vector<std::pair<std::string, uint32_t>> defines_in(const std::string &header,
                                                         const std::string &prefix) {
    std::ifstream in(std::string(TRAX_SOURCE_DIR) + "/" + header);
    EXPECT_TRUE(in.good()) << header;
    const std::regex line("#define (" + prefix + "[A-Z0-9_]+) (0x[0-9A-Fa-f]+|[0-9]+)[uUL]*.*");
    std::vector<std::pair<std::string, uint32_t>> result;
    std::string text;
    while (std::getline(in, text)) {
        std::smatch m;
        if (std::regex_match(text, m, line)) {
            result.emplace_back(m[1], static_cast<uint32_t>(std::stoul(m[2], nullptr, 0)));
        }
    }
    return result;
}

void expect_named_texts(const std::vector<std::pair<std::string, uint32_t>> &defines) {
    ASSERT_FALSE(defines.empty());
    for (const auto &[name, code] : defines) {
        const char *text = trax_error_text_known(code);
        ASSERT_NE(text, nullptr) << name;
        // Zero is shared by both families and reads as the framework's "no error".
        const std::string expectedName = code == 0 ? "ERR_SUCCESS" : name;
        EXPECT_EQ(std::string(text).rfind(expectedName + ": ", 0), 0u) << text;
        EXPECT_GT(std::strlen(text), name.size() + 4) << name;
    }
}

TEST(ErrorTable, KnowsEveryFrameworkNumber) {
    expect_named_texts(defines_in("include/trax_errors.h", "ERR_"));
}

TEST(ErrorTable, KnowsEveryPlatformErrorCode) {
    expect_named_texts(defines_in("platform/include/trax_win32.h", "ERROR_"));
}

// Every source file of the libraries and programs, so that a number defined away from the
// public headers (a private header, a program) is found as well.
std::vector<std::string> product_sources() {
    namespace fs = std::filesystem;
    std::vector<std::string> sources;
    for (const char *folder :
         {"include", "platform", "framework", "traxnt", "traxgui", "traxapp", "velk_winspec"}) {
        for (const auto &entry :
             fs::recursive_directory_iterator(fs::path(TRAX_SOURCE_DIR) / folder)) {
            const auto ext = entry.path().extension();
            if (entry.is_regular_file() && (ext == ".h" || ext == ".cpp"))
                sources.push_back(fs::relative(entry.path(), TRAX_SOURCE_DIR).string());
        }
    }
    return sources;
}

TEST(ErrorTable, KnowsEveryNumberDefinedInAnySource) {
    const std::vector<std::string> sources = product_sources();
    ASSERT_GT(sources.size(), 50u);
    size_t found = 0;
    for (const std::string &source : sources) {
        SCOPED_TRACE(source);
        for (const char *prefix : {"ERR_", "ERROR_"}) {
            const auto defines = defines_in(source, prefix);
            found += defines.size();
            if (!defines.empty())
                expect_named_texts(defines);
        }
    }
    EXPECT_GT(found, 60u);
}

// The platform layer turns system errors into Windows codes: whatever the system reports,
// the code it becomes has a text.
TEST(ErrorTable, KnowsEveryCodeOfTheErrnoTranslation) {
    for (int error = -1; error < 4096; ++error) {
        const DWORD code = trax::platform::translateErrno(error);
        EXPECT_NE(trax_error_text_known(static_cast<uint32_t>(code)), nullptr)
            << "errno " << error << " becomes " << code;
    }
}

TEST(ErrorTable, CodesAreUnique) {
    std::set<uint32_t> seen;
    for (uint32_t i = 0; i < trax_error_table_size(); ++i) {
        EXPECT_TRUE(seen.insert(trax_error_table_code(i)).second) << i;
    }
}

TEST(ErrorTable, ZeroMeansNoError) {
    EXPECT_STREQ(trax_error_text(0), "ERR_SUCCESS: no error");
}

TEST(ErrorTable, UnknownNumbersShowTheNumber) {
    EXPECT_STREQ(trax_error_text(0xE00E1FFFu), "unknown error 0xe00e1fff");
    EXPECT_STREQ(trax_error_text(0xFFFFFFFFu), "unknown error 0xffffffff");
    EXPECT_STREQ(trax_error_text(7), "unknown error 0x00000007");
    EXPECT_EQ(trax_error_text_known(7), nullptr);
}

TEST(ErrorTable, IntoBufferMatchesStaticText) {
    char buf[TRAX_ERROR_TEXT_MAX];
    std::memset(buf, 'x', sizeof buf);
    for (uint32_t code : {0u, 6u, 0xE00E1103u, 0x12345678u}) {
        EXPECT_EQ(trax_error_text_into(code, buf), buf);
        EXPECT_STREQ(buf, trax_error_text(code));
    }
    EXPECT_EQ(trax_error_text_into(0, nullptr), nullptr);
}

TEST(ErrorTable, UnknownTextIsPerThread) {
    const char *mine = trax_error_text(0x11111111u);
    std::thread other(
        [] { EXPECT_STREQ(trax_error_text(0x22222222u), "unknown error 0x22222222"); });
    other.join();
    EXPECT_STREQ(mine, "unknown error 0x11111111");
}

} // namespace
