/* Running a program with scripted standard input on POSIX, for the traxnt end-to-end
 * tests. */
#include "run_prog.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
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
