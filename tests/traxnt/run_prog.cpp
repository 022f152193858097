// Program runner and output matcher of the traxnt end-to-end tests.
#include "run_prog.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "child_process.h"

namespace {

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// Line number (from 1) and text of the line around offset in text.
std::string LineAt(const std::string &text, size_t offset) {
    offset = std::min(offset, text.size());
    const size_t line = 1 + static_cast<size_t>(std::count(
                                text.begin(), text.begin() + static_cast<long>(offset), '\n'));
    const size_t begin = text.rfind('\n', offset == 0 ? 0 : offset - 1);
    const size_t start = (begin == std::string::npos || offset == 0) ? 0 : begin + 1;
    const size_t end = text.find('\n', offset);
    std::string shown =
        text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string escaped;
    for (char c : shown) {
        if (c == '\a')
            escaped += "{BEL}";
        else if (c == '\t')
            escaped += "\\t";
        else
            escaped += c;
    }
    return "line " + std::to_string(line) + ": \"" + escaped + "\"";
}

bool IsHexDigit(char c, bool lowerOnly) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (!lowerOnly && c >= 'A' && c <= 'F');
}

} // namespace

ProgResult RunProg(const std::string &program, const std::vector<std::string> &inputChunks,
                   int pauseMs, int timeoutMs, const std::vector<std::string> &environment) {
    using trax_test::ChildProcess;
    ChildProcess child(program, {}, environment);
    const auto deadline = ChildProcess::after(timeoutMs);
    // Input that the program no longer reads is dropped; its output is read meanwhile.
    for (size_t i = 0; i < inputChunks.size(); ++i) {
        if (i > 0)
            child.readFor(pauseMs);
        if (!child.write(inputChunks[i], deadline))
            break;
    }
    child.closeInput();
    child.readToEnd(deadline);
    const ChildProcess::Exit exit = child.wait(deadline);
    ProgResult result;
    result.out = child.output();
    result.status = exit.status;
    result.timedOut = exit.timedOut;
    result.failure = exit.failure;
    return result;
}

#if !defined(_WIN32)
RunningProg StartProg(const std::string &program) {
    trax_test::ChildProcess child(program);
    const trax_test::ChildProcess::Handles handles = child.release();
    return {handles.pid, handles.in, handles.out};
}
#endif

ProgResult RunTraxnt(const std::string &input, const std::vector<std::string> &environment) {
    return RunProg(BinPath("traxnt"), {input}, 300, 10000, environment);
}

::testing::AssertionResult OutputIs(const std::string &expected, const std::string &output) {
    size_t e = 0;
    size_t o = 0;
    while (e < expected.size()) {
        if (expected.compare(e, 5, "{BEL}") == 0) {
            if (o >= output.size() || output[o] != '\a')
                break;
            e += 5;
            ++o;
        } else if (expected.compare(e, 5, "{TID}") == 0 || expected.compare(e, 5, "{HEX}") == 0) {
            const bool lowerOnly = expected[e + 1] == 'T';
            const size_t start = o;
            while (o < output.size() && IsHexDigit(output[o], lowerOnly))
                ++o;
            if (o == start)
                break;
            e += 5;
        } else {
            if (o >= output.size() || output[o] != expected[e])
                break;
            ++e;
            ++o;
        }
    }
    if (e == expected.size() && o == output.size())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "output differs at output " << LineAt(output, o) << "\n expected "
           << LineAt(expected, e) << "\n--- whole output:\n"
           << output << "\n---";
}

::testing::AssertionResult StatusIs(int expected, const ProgResult &result) {
    if (result.timedOut)
        return ::testing::AssertionFailure() << "the program did not end in time (killed)";
    if (!result.failure.empty())
        return ::testing::AssertionFailure() << "no exit status: " << result.failure;
    if (result.status != expected)
        return ::testing::AssertionFailure()
               << "exit status " << result.status << ", expected " << expected;
    return ::testing::AssertionSuccess();
}

size_t CountOf(const std::string &output, const std::string &text) {
    size_t count = 0;
    for (size_t at = output.find(text); at != std::string::npos; at = output.find(text, at + 1))
        ++count;
    return count;
}

const std::string &HelpText() {
    static const std::string text =
        ReadFile(std::string(TRAX_SOURCE_DIR) + "/tests/traxnt/transcripts/help.inc");
    return text;
}

const std::string &StartText() {
    static const std::string text =
        ReadFile(std::string(TRAX_SOURCE_DIR) + "/tests/traxnt/transcripts/banner.inc") +
        HelpText();
    return text;
}

std::string MainPrompt(int threadCount, const std::string &dev, const std::string &path) {
    return "\nThr:1/" + std::to_string(threadCount) + " (MAIN tid:0x{TID}) / Dev:" + dev +
           " (path:" + path + ") ==> cmd: -";
}
