/* Test helper for the command tests of traxnt: runs the program as a child process with
 * pipes on its standard input and output, so that a test can type commands, wait for
 * output (each wait bounded in time) and compare the text each command printed. */
#ifndef TEST_CMDS_SHELL_H
#define TEST_CMDS_SHELL_H

#if defined(_WIN32)
#include <memory>

#include "child_process_win32.h"
#else
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace cmdtest {

constexpr int kDefaultTimeoutMs = 20000;

#if defined(_WIN32)
/** One running traxnt.exe. The destructor kills it if a test left it running. */
class ShellProcess {
  public:
    /** Starts traxnt with extra environment entries ("NAME=value"), which it inherits from
     *  this process for the moment of its start. */
    explicit ShellProcess(const std::vector<std::string> &extraEnv = {}) {
        std::vector<std::string> names;
        for (const std::string &entry : extraEnv) {
            const size_t equals = entry.find('=');
            names.push_back(entry.substr(0, equals));
            SetEnvironmentVariableA(names.back().c_str(), entry.c_str() + equals + 1);
        }
        child_ = std::make_unique<ChildProcess>(std::string(TRAX_BIN_DIR) + "/traxnt.exe",
                                                std::vector<std::string>{});
        for (const std::string &name : names)
            SetEnvironmentVariableA(name.c_str(), nullptr);
    }

    bool Started() const { return child_->Started(); }

    /** Types text on the program's standard input. */
    void Send(const std::string &text) { child_->Send(text); }

    /** Waits until the output contains needle count times in all; false on time-out or
     *  when the program ends first. */
    bool WaitFor(const std::string &needle, int count = 1, int timeoutMs = kDefaultTimeoutMs) {
        const bool found = child_->WaitFor(needle, count, timeoutMs);
        output = child_->Output();
        return found;
    }

    /** Closes standard input, reads all output until the program ends and returns it.
     *  exitStatus is -1 when the program did not end within the time-out. */
    const std::string &Finish(int timeoutMs = kDefaultTimeoutMs) {
        if (child_->Finish(timeoutMs))
            exitStatus = child_->exitStatus;
        output = child_->Output();
        return output;
    }

    int Occurrences(const std::string &needle) const;

    std::string output;
    int exitStatus = -1;

  private:
    std::unique_ptr<ChildProcess> child_;
};
#else

/** One running traxnt. The destructor kills it if a test left it running. */
class ShellProcess {
  public:
    /** Starts traxnt with extra environment entries ("NAME=value"). */
    explicit ShellProcess(const std::vector<std::string> &extraEnv = {}) {
        int in[2];
        int out[2];
        if (pipe(in) != 0 || pipe(out) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], STDIN_FILENO);
            dup2(out[1], STDOUT_FILENO);
            close(in[0]);
            close(in[1]);
            close(out[0]);
            close(out[1]);
            for (const std::string &entry : extraEnv)
                putenv(const_cast<char *>(entry.c_str()));
            const std::string program = std::string(TRAX_BIN_DIR) + "/traxnt";
            execl(program.c_str(), "traxnt", static_cast<char *>(nullptr));
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        toChild_ = in[1];
        fromChild_ = out[0];
        signal(SIGPIPE, SIG_IGN);
    }

    ShellProcess(const ShellProcess &) = delete;
    ShellProcess &operator=(const ShellProcess &) = delete;

    ~ShellProcess() {
        CloseInput();
        if (fromChild_ >= 0)
            close(fromChild_);
        if (pid_ > 0 && !reaped_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool Started() const { return pid_ > 0 && toChild_ >= 0; }

    /** Types text on the program's standard input. */
    void Send(const std::string &text) {
        size_t done = 0;
        while (toChild_ >= 0 && done < text.size()) {
            const ssize_t n = write(toChild_, text.data() + done, text.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }

    /** Reads output until it contains needle count times in all; false on time-out or
     *  when the program ends first. */
    bool WaitFor(const std::string &needle, int count = 1, int timeoutMs = kDefaultTimeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Occurrences(needle) < count) {
            if (!ReadSome(deadline))
                return false;
        }
        return true;
    }

    /** Closes standard input, reads all output until the program ends and returns it.
     *  exitStatus is -1 when the program did not end within the time-out. */
    const std::string &Finish(int timeoutMs = kDefaultTimeoutMs) {
        CloseInput();
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (ReadSome(deadline)) {
        }
        if (eof_) {
            int status = 0;
            waitpid(pid_, &status, 0);
            reaped_ = true;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        return output;
    }

    int Occurrences(const std::string &needle) const;

    std::string output;
    int exitStatus = -1;

  private:
    using Clock = std::chrono::steady_clock;

    void CloseInput() {
        if (toChild_ >= 0)
            close(toChild_);
        toChild_ = -1;
    }

    /** Appends what the program has written; false at its end or at the deadline. */
    bool ReadSome(Clock::time_point deadline) {
        if (eof_ || fromChild_ < 0)
            return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd pfd{fromChild_, POLLIN, 0};
        if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buf[4096];
        const ssize_t n = read(fromChild_, buf, sizeof buf);
        if (n <= 0) {
            eof_ = true;
            return false;
        }
        output.append(buf, static_cast<size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int toChild_ = -1;
    int fromChild_ = -1;
    bool eof_ = false;
    bool reaped_ = false;
};
#endif

/** Runs traxnt with the whole input and returns everything it printed. */
inline std::string RunShell(const std::string &input, const std::vector<std::string> &env = {}) {
    ShellProcess shell(env);
    shell.Send(input);
    return shell.Finish();
}

constexpr const char *kPromptEnd = "==> cmd: -";

/** The text that each command printed: what follows each prompt up to the line feed that
 *  begins the next prompt. Element 0 belongs to the first command. */
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

/** The outputs of the commands of one run of input. */
inline std::vector<std::string> RunCommands(const std::string &input,
                                            const std::vector<std::string> &env = {}) {
    return CommandOutputs(RunShell(input, env));
}

/** Number of times needle occurs in text. */
inline int Occurrences(const std::string &text, const std::string &needle) {
    int count = 0;
    for (size_t pos = text.find(needle); pos != std::string::npos;
         pos = text.find(needle, pos + needle.size()))
        ++count;
    return count;
}

/** Number of lines of text that begin with prefix. */
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

/** Number of lines of text that end with suffix. */
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

inline int ShellProcess::Occurrences(const std::string &needle) const {
    return cmdtest::Occurrences(output, needle);
}

} // namespace cmdtest

#endif
