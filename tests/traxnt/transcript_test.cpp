// Runs every transcript in tests/traxnt/transcripts: a file that gives traxnt's standard
// input and the exact standard output and exit status expected of it.
//
// Format: comment lines starting with "#", then
//   == input        the input; a line "{PAUSE}" waits before the rest is typed
//   == status N     (optional, default 0) the expected exit status
//   == output       the expected output, up to the line "== end"; the newline before
//                   "== end" belongs to the file, not to the output
// In the output {START} stands for the banner and help text (banner.inc, help.inc), {HELP}
// for the help text alone, {BEL} for the bell
// character, {TID} for a thread id and {HEX} for any hexadecimal number. On Windows path
// numbers are handle values of the system, so there any number stands for a path number.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "run_prog.h"

namespace {

namespace fs = std::filesystem;

struct Transcript {
    std::vector<std::string> inputChunks;
    int status = 0;
    std::string expected;
    std::string error; // set when the file is malformed
};

std::string ReplaceAll(std::string text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

#if defined(_WIN32)
/// The expected text with each path number (in the prompt, as M_open's result and in the
/// path list of ps) replaced by {HEX}.
std::string AnyPathNumber(std::string text) {
    static const std::regex inPrompt(R"(\(path:0x[0-9a-f]+\))");
    static const std::regex opened("(device name ->  status = 0x)(?!ffffffff)[0-9a-f]+");
    static const std::regex listed(R"((\| 0x)[0-9a-f]{3}\n)");
    text = std::regex_replace(text, inPrompt, "(path:0x{HEX})");
    text = std::regex_replace(text, opened, "$1{HEX}");
    return std::regex_replace(text, listed, "$1{HEX}\n");
}
#endif

Transcript Parse(const std::string &text) {
    Transcript t;
    const size_t input = text.find("== input\n");
    const size_t output = text.find("== output\n");
    const size_t end = text.rfind("\n== end");
    if (input == std::string::npos || output == std::string::npos || end == std::string::npos ||
        end < output) {
        t.error = "needs the sections == input, == output and == end";
        return t;
    }
    std::istringstream lines(text.substr(input + 9, output - input - 9));
    std::string chunk;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("== status ", 0) == 0) {
            t.status = std::stoi(line.substr(10));
        } else if (line == "{PAUSE}") {
            t.inputChunks.push_back(chunk);
            chunk.clear();
        } else {
            chunk += line + "\n";
        }
    }
    t.inputChunks.push_back(chunk);
    t.expected = ReplaceAll(text.substr(output + 10, end - output - 10), "{START}", StartText());
    t.expected = ReplaceAll(t.expected, "{HELP}", HelpText());
#if defined(_WIN32)
    t.expected = AnyPathNumber(t.expected);
#endif
    return t;
}

std::vector<std::string> TranscriptNames() {
    std::vector<std::string> names;
    const fs::path dir = fs::path(TRAX_SOURCE_DIR) / "tests/traxnt/transcripts";
    for (const auto &entry : fs::directory_iterator(dir))
        if (entry.path().extension() == ".txt")
            names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadTranscript(const std::string &name) {
    std::ifstream in(fs::path(TRAX_SOURCE_DIR) / "tests/traxnt/transcripts" / (name + ".txt"),
                     std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TranscriptTest : public ::testing::TestWithParam<std::string> {};

TEST_P(TranscriptTest, OutputAndStatusMatch) {
    const Transcript t = Parse(ReadTranscript(GetParam()));
    ASSERT_TRUE(t.error.empty()) << t.error;
    const ProgResult result = RunProg(BinPath("traxnt"), t.inputChunks);
    EXPECT_TRUE(StatusIs(t.status, result));
    EXPECT_TRUE(OutputIs(t.expected, result.out));
}

INSTANTIATE_TEST_SUITE_P(Traxnt, TranscriptTest, ::testing::ValuesIn(TranscriptNames()),
                         [](const ::testing::TestParamInfo<std::string> &test) {
                             std::string name = test.param;
                             std::replace_if(
                                 name.begin(), name.end(),
                                 [](char c) {
                                     return !std::isalnum(static_cast<unsigned char>(c));
                                 },
                                 '_');
                             return name;
                         });

} // namespace
