// Test helper for the command tests of traxnt: runs the program as a child process with
// pipes on its standard input and output, so that a test can type commands, wait for
// output (each wait bounded in time) and compare the text each command printed.
#ifndef TRAXNT_TEST_SHELL_PROCESS_H
#define TRAXNT_TEST_SHELL_PROCESS_H

#include <string>
#include <vector>

#include "child_process.h"

namespace cmdtest {

constexpr int kDefaultTimeoutMs = 20000;

/// Number of times needle occurs in text.
inline int Occurrences(const std::string &text, const std::string &needle);

/// One running traxnt. The destructor kills it if a test left it running.
class ShellProcess {
  public:
    /// Starts traxnt with extra environment entries ("NAME=value").
    explicit ShellProcess(const std::vector<std::string> &extraEnv = {})
        : child_(trax_test::BinPath("traxnt"), {}, extraEnv) {}

    bool Started() const { return child_.started(); }

    /// Types text on the program's standard input.
    void Send(const std::string &text) { child_.write(text, Child::after(kDefaultTimeoutMs)); }

    /// Reads output until it contains needle count times in all; false on time-out or
    /// when the program ends first.
    bool WaitFor(const std::string &needle, int count = 1, int timeoutMs = kDefaultTimeoutMs) {
        return child_.readUntil(
            [&](const std::string &text) { return cmdtest::Occurrences(text, needle) >= count; },
            Child::after(timeoutMs));
    }

    /// Closes standard input, reads all output until the program ends and returns it.
    /// exitStatus is -1 when the program did not end within the time-out.
    const std::string &Finish(int timeoutMs = kDefaultTimeoutMs) {
        child_.closeInput();
        const auto deadline = Child::after(timeoutMs);
        if (child_.readToEnd(deadline))
            exitStatus = child_.wait(deadline).status;
        return output;
    }

    int Occurrences(const std::string &needle) const {
        return cmdtest::Occurrences(output, needle);
    }

  private:
    using Child = trax_test::ChildProcess;
    Child child_;

  public:
    std::string &output = child_.output();
    int exitStatus = -1;
};

/// Runs traxnt with the whole input and returns everything it printed.
inline std::string RunShell(const std::string &input, const std::vector<std::string> &env = {}) {
    ShellProcess shell(env);
    shell.Send(input);
    return shell.Finish();
}

constexpr const char *kPromptEnd = "==> cmd: -";

/// The text that each command printed: what follows each prompt up to the line feed that
/// begins the next prompt. Element 0 belongs to the first command.
inline std::vector<std::string> CommandOutputs(const std::string &output) {
    std::vector<std::string> outputs;
    size_t pos = output.find(kPromptEnd);
    while (pos != std::string::npos) {
        const size_t start = pos + std::string(kPromptEnd).size();
        const size_t next = output.find(kPromptEnd, start);
        std::string text =
            output.substr(start, next == std::string::npos ? std::string::npos : next - start);
        if (next != std::string::npos) {
            // Drop the prompt line that follows: from the last "\nThr:" on.
            const size_t promptStart = text.rfind("\nThr:");
            if (promptStart != std::string::npos)
                text.erase(promptStart);
        }
        outputs.push_back(text);
        pos = next;
    }
    // The text after the last prompt is the program's end (input closed): not a command.
    if (!outputs.empty())
        outputs.pop_back();
    return outputs;
}

/// The outputs of the commands of one run of input.
inline std::vector<std::string> RunCommands(const std::string &input,
                                            const std::vector<std::string> &env = {}) {
    return CommandOutputs(RunShell(input, env));
}

/// Number of times needle occurs in text.
inline int Occurrences(const std::string &text, const std::string &needle) {
    int count = 0;
    for (size_t pos = text.find(needle); pos != std::string::npos;
         pos = text.find(needle, pos + needle.size()))
        ++count;
    return count;
}

/// Number of lines of text that begin with prefix.
inline int LinesStartingWith(const std::string &text, const std::string &prefix) {
    int count = 0;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        if (text.compare(lineStart, prefix.size(), prefix) == 0)
            ++count;
        const size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            break;
        lineStart = lineEnd + 1;
    }
    return count;
}

/// Number of lines of text that end with suffix.
inline int LinesEndingWith(const std::string &text, const std::string &suffix) {
    int count = 0;
    size_t lineStart = 0;
    while (lineStart < text.size()) {
        size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = text.size();
        const std::string line = text.substr(lineStart, lineEnd - lineStart);
        if (line.size() >= suffix.size() &&
            line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
            ++count;
        lineStart = lineEnd + 1;
    }
    return count;
}

} // namespace cmdtest

#endif
