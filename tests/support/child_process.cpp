#include "child_process.h"

#include <cstdlib>

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char **environ;
#endif

namespace trax_test {

std::vector<std::string> ChildEnvironment(const std::vector<std::string> &extra) {
    std::vector<std::string> entries = extra;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('=') + 1);
        bool replaced = false;
        for (const std::string &mine : extra)
            replaced = replaced || mine.compare(0, name.size(), name) == 0;
        if (!replaced)
            entries.push_back(text);
    }
    return entries;
}

std::string BinPath(const std::string &program) {
#if defined(_WIN32)
    return std::string(TRAX_BIN_DIR) + "/" + program + ".exe";
#else
    return std::string(TRAX_BIN_DIR) + "/" + program;
#endif
}

bool ChildProcess::readToEnd(Clock::time_point deadline) {
    return readUntil([this](const std::string &) { return outputEnded(); }, deadline);
}

void ChildProcess::readFor(int ms) {
    readToEnd(after(ms));
}

std::string ChildProcess::takeLine(Clock::time_point deadline) {
    const auto hasLine = [](const std::string &text) { return text.find('\n') != text.npos; };
    if (!readUntil(hasLine, deadline))
        return outputEnded() ? "<eof>" : "<timeout>";
    const size_t end = output_.find('\n');
    std::string line = output_.substr(0, end);
    output_.erase(0, end + 1);
    return line;
}

#if !defined(_WIN32)

namespace {

std::vector<char *> Pointers(std::vector<std::string> &texts) {
    std::vector<char *> pointers;
    for (std::string &text : texts)
        pointers.push_back(text.data());
    pointers.push_back(nullptr);
    return pointers;
}

int MillisLeft(ChildProcess::Clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - ChildProcess::Clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

void CloseFd(int &fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

} // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args,
                           const std::vector<std::string> &environment, bool captureErrors) {
    // A child that stops reading its input must fail the write, not end this process.
    signal(SIGPIPE, SIG_IGN);
    int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
        (captureErrors && pipe2(err, O_CLOEXEC) != 0)) {
        for (int *pair : {in, out, err}) {
            CloseFd(pair[0]);
            CloseFd(pair[1]);
        }
        exit_.failure = std::string("its pipes could not be made: ") + std::strerror(errno);
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    if (captureErrors)
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    std::vector<std::string> argTexts{program};
    argTexts.insert(argTexts.end(), args.begin(), args.end());
    std::vector<std::string> envTexts = ChildEnvironment(environment);
    std::vector<char *> argv = Pointers(argTexts);
    std::vector<char *> envp = Pointers(envTexts);
    if (const int error =
            posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data())) {
        pid_ = -1;
        exit_.failure = std::string("it could not be started: ") + std::strerror(error);
    }
    posix_spawn_file_actions_destroy(&actions);
    CloseFd(in[0]);
    CloseFd(out[1]);
    CloseFd(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    fcntl(in_, F_SETFL, O_NONBLOCK);
}

ChildProcess::~ChildProcess() {
    closeInput();
    kill();
    CloseFd(out_);
    CloseFd(err_);
}

void ChildProcess::closeInput() {
    CloseFd(in_);
}

void ChildProcess::readInto(int &fd, std::string &text) {
    char buffer[65536];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0)
        text.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR)
        CloseFd(fd);
}

bool ChildProcess::pump(Clock::time_point deadline, const std::string *toWrite, size_t *written) {
    pollfd fds[3] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}, {-1, POLLOUT, 0}};
    if (toWrite != nullptr)
        fds[2].fd = in_;
    const int ready = poll(fds, 3, MillisLeft(deadline));
    if (ready < 0 && errno == EINTR)
        return true;
    if (ready <= 0)
        return false;
    if (fds[0].revents != 0)
        readInto(out_, output_);
    if (fds[1].revents != 0)
        readInto(err_, errors_);
    if (toWrite != nullptr && fds[2].revents != 0) {
        const ssize_t n = ::write(in_, toWrite->data() + *written, toWrite->size() - *written);
        if (n > 0)
            *written += static_cast<size_t>(n);
        else if (errno != EINTR && errno != EAGAIN)
            closeInput(); // the child has ended or closed its input
    }
    return true;
}

bool ChildProcess::write(const std::string &text, Clock::time_point deadline) {
    size_t written = 0;
    while (in_ >= 0 && written < text.size()) {
        if (!pump(deadline, &text, &written))
            return false;
    }
    return written == text.size();
}

bool ChildProcess::readUntil(const std::function<bool(const std::string &)> &done,
                             Clock::time_point deadline) {
    while (!done(output_)) {
        if (out_ < 0 || !pump(deadline, nullptr, nullptr))
            return done(output_);
    }
    return true;
}

bool ChildProcess::outputEnded() const {
    return out_ < 0;
}

std::string ChildProcess::readErrors(Clock::time_point deadline) {
    while (err_ >= 0 && pump(deadline, nullptr, nullptr)) {
    }
    return errors_;
}

ChildProcess::Exit ChildProcess::wait(Clock::time_point deadline) {
    if (pid_ <= 0)
        return exit_;
    int status = 0;
    pid_t done = 0;
    while ((done = waitpid(pid_, &status, WNOHANG)) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (done == pid_) {
        pid_ = -1;
        exit_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        exit_.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    } else {
        kill();
        exit_.timedOut = true;
    }
    return exit_;
}

ChildProcess::Handles ChildProcess::release() {
    if (in_ >= 0)
        fcntl(in_, F_SETFL, 0);
    const Handles handles{pid_, in_, out_};
    pid_ = -1;
    in_ = -1;
    out_ = -1;
    return handles;
}

void ChildProcess::kill() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    exit_.signal = SIGKILL;
}

#endif

} // namespace trax_test
