/* Program runner and output matcher of the traxnt end-to-end tests. */
#include "run_prog.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

/** The child: standard input and output on the pipes, then the program. */
[[noreturn]] void ExecChild(const std::string &program, int inFd, int outFd) {
    dup2(inFd, STDIN_FILENO);
    dup2(outFd, STDOUT_FILENO);
    close(inFd);
    close(outFd);
    execl(program.c_str(), program.c_str(), static_cast<char *>(nullptr));
    _exit(127);
}

int MillisLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

/** Moves data both ways until the input is written and the output has ended, or the
 *  deadline has passed. Input that the program no longer reads is dropped. */
class Session {
  public:
    Session(int inFd, int outFd, const std::vector<std::string> &chunks, int pauseMs)
        : inFd_(inFd), outFd_(outFd), chunks_(chunks), pauseMs_(pauseMs) {}

    bool Run(Clock::time_point deadline, std::string *out) {
        nextWrite_ = Clock::now();
        while (outFd_ >= 0) {
            if (Clock::now() >= deadline)
                return false;
            PollOnce(deadline, out);
        }
        CloseInput();
        return true;
    }

  private:
    void PollOnce(Clock::time_point deadline, std::string *out) {
        pollfd fds[2] = {{outFd_, POLLIN, 0}, {-1, POLLOUT, 0}};
        const bool wantWrite = inFd_ >= 0 && Clock::now() >= nextWrite_;
        if (wantWrite)
            fds[1].fd = inFd_;
        int timeout = MillisLeft(deadline);
        if (inFd_ >= 0 && !wantWrite)
            timeout = std::min(timeout, MillisLeft(nextWrite_) + 1);
        if (poll(fds, 2, timeout) < 0 && errno != EINTR)
            return;
        if (fds[0].revents != 0)
            ReadOutput(out);
        if (wantWrite && fds[1].revents != 0)
            WriteInput();
    }

    void ReadOutput(std::string *out) {
        char buf[65536];
        const ssize_t n = read(outFd_, buf, sizeof buf);
        if (n > 0) {
            out->append(buf, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            close(outFd_);
            outFd_ = -1;
        }
    }

    void WriteInput() {
        if (chunk_ == chunks_.size()) {
            CloseInput();
            return;
        }
        const std::string &text = chunks_[chunk_];
        const ssize_t n = write(inFd_, text.data() + offset_, text.size() - offset_);
        if (n < 0) {
            if (errno != EINTR && errno != EAGAIN)
                CloseInput(); // the program has ended or closed its input
            return;
        }
        offset_ += static_cast<size_t>(n);
        if (offset_ == text.size()) {
            ++chunk_;
            offset_ = 0;
            if (chunk_ == chunks_.size())
                CloseInput(); // no pause after the last chunk
            else
                nextWrite_ = Clock::now() + std::chrono::milliseconds(pauseMs_);
        }
    }

    void CloseInput() {
        if (inFd_ >= 0)
            close(inFd_);
        inFd_ = -1;
    }

    int inFd_;
    int outFd_;
    const std::vector<std::string> &chunks_;
    int pauseMs_;
    size_t chunk_ = 0;
    size_t offset_ = 0;
    Clock::time_point nextWrite_;
};

/** Waits for the child until the deadline; kills it then. */
int ReapChild(pid_t pid, Clock::time_point deadline, bool *timedOut) {
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            *timedOut = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/** Line number (from 1) and text of the line around offset in text. */
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

std::string BinPath(const std::string &program) {
    return std::string(TRAX_BIN_DIR) + "/" + program;
}

ProgResult RunProg(const std::string &program, const std::vector<std::string> &inputChunks,
                   int pauseMs, int timeoutMs) {
    ProgResult result;
    const RunningProg prog = StartProg(program);
    if (prog.pid < 0)
        return result;
    fcntl(prog.in, F_SETFL, O_NONBLOCK);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    Session session(prog.in, prog.out, inputChunks, pauseMs);
    session.Run(deadline, &result.out);
    result.status = ReapChild(prog.pid, deadline, &result.timedOut);
    return result;
}

RunningProg StartProg(const std::string &program) {
    std::signal(SIGPIPE, SIG_IGN);
    int toChild[2];
    int fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0)
        return {};
    if (pipe2(fromChild, O_CLOEXEC) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0)
        ExecChild(program, toChild[0], fromChild[1]);
    close(toChild[0]);
    close(fromChild[1]);
    return {pid, toChild[1], fromChild[0]};
}

ProgResult RunTraxnt(const std::string &input) {
    return RunProg(BinPath("traxnt"), {input});
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
