// The Windows side of the child-process harness: pipes made with CreatePipe, the child
// started with CreateProcessA, and one reader thread for each of its output pipes, since a
// Windows pipe cannot be waited on together with another one.
#include <windows.h>

#include "child_process.h"

namespace trax_test {

namespace {

/// The command line of program and args, each in double quotes (the tests pass no
/// argument with a double quote or a trailing backslash).
std::string CommandLine(const std::string &program, const std::vector<std::string> &args) {
    std::string line = "\"" + program + "\"";
    for (const std::string &arg : args)
        line += " \"" + arg + "\"";
    return line;
}

/// The environment block of CreateProcessA: each entry ends with a null, the block with
/// one more.
std::string EnvironmentBlock(const std::vector<std::string> &extra) {
    std::string block;
    for (const std::string &entry : ChildEnvironment(extra)) {
        block += entry;
        block += '\0';
    }
    block += '\0';
    return block;
}

/// A pipe whose one end the child inherits: childReads tells which.
bool MakePipe(void **parentEnd, HANDLE *childEnd, bool childReads) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    *parentEnd = childReads ? writeEnd : readEnd;
    *childEnd = childReads ? readEnd : writeEnd;
    SetHandleInformation(*parentEnd, HANDLE_FLAG_INHERIT, 0);
    return true;
}

void CloseHandleOf(void *&handle) {
    if (handle != nullptr)
        CloseHandle(handle);
    handle = nullptr;
}

std::string WithLastError(const char *what) {
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

DWORD MillisLeft(ChildProcess::Clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - ChildProcess::Clock::now());
    return left.count() < 0 ? 0 : static_cast<DWORD>(left.count());
}

} // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args,
                           const std::vector<std::string> &environment, bool captureErrors) {
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    HANDLE childErr = GetStdHandle(STD_ERROR_HANDLE);
    const bool piped = MakePipe(&in_, &childIn, true) && MakePipe(&out_, &childOut, false) &&
                       (!captureErrors || MakePipe(&err_, &childErr, false));
    if (piped) {
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = childIn;
        startup.hStdOutput = childOut;
        startup.hStdError = childErr;
        PROCESS_INFORMATION info{};
        std::string line = CommandLine(program, args);
        std::string block = EnvironmentBlock(environment);
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, block.data(), nullptr,
                           &startup, &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
            pid_ = static_cast<pid_t>(info.dwProcessId);
        } else {
            exit_.failure = WithLastError("it could not be started");
        }
    } else {
        exit_.failure = WithLastError("its pipes could not be made");
    }
    if (childIn != nullptr)
        CloseHandle(childIn);
    if (childOut != nullptr)
        CloseHandle(childOut);
    if (err_ != nullptr) // childErr is the pipe's end, not this process's standard error
        CloseHandle(childErr);
    if (out_ != nullptr)
        outReader_ = std::thread(&ChildProcess::readPipe, this, out_, &pendingOutput_, &outEnded_);
    else
        outEnded_ = true;
    if (err_ != nullptr) {
        errEnded_ = false;
        errReader_ = std::thread(&ChildProcess::readPipe, this, err_, &pendingErrors_, &errEnded_);
    }
}

ChildProcess::~ChildProcess() {
    closeInput();
    kill();
    if (outReader_.joinable())
        outReader_.join();
    if (errReader_.joinable())
        errReader_.join();
    CloseHandleOf(out_);
    CloseHandleOf(err_);
}

void ChildProcess::closeInput() {
    CloseHandleOf(in_);
}

// Appends the output as it comes, with "\r\n" read as "\n", until the pipe ends (the
// program and every process that inherited its output have ended).
void ChildProcess::readPipe(void *pipe, std::string *text, std::atomic<bool> *ended) {
    char buffer[4096];
    bool pendingReturn = false;
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        std::lock_guard guard(lock_);
        for (DWORD i = 0; i < got; ++i) {
            if (pendingReturn && buffer[i] != '\n')
                *text += '\r';
            pendingReturn = buffer[i] == '\r';
            if (!pendingReturn)
                *text += buffer[i];
        }
        changed_.notify_all();
    }
    std::lock_guard guard(lock_);
    if (pendingReturn)
        *text += '\r';
    *ended = true;
    changed_.notify_all();
}

void ChildProcess::collect() {
    output_ += pendingOutput_;
    pendingOutput_.clear();
    errors_ += pendingErrors_;
    pendingErrors_.clear();
}

bool ChildProcess::outputEnded() const {
    return outEnded_;
}

// The reader thread empties the output pipe, so a blocking write cannot stall on a child
// that waits for its output to be read.
bool ChildProcess::write(const std::string &text, Clock::time_point deadline) {
    size_t done = 0;
    while (in_ != nullptr && done < text.size() && Clock::now() < deadline) {
        DWORD written = 0;
        if (!WriteFile(in_, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                       nullptr)) {
            closeInput(); // the child has ended or closed its input
            return false;
        }
        done += written;
    }
    return done == text.size();
}

bool ChildProcess::readUntil(const std::function<bool(const std::string &)> &done,
                             Clock::time_point deadline) {
    std::unique_lock guard(lock_);
    for (;;) {
        const bool ended = outEnded_;
        collect();
        if (done(output_))
            return true;
        if (ended)
            return false;
        if (changed_.wait_until(guard, deadline) == std::cv_status::timeout) {
            collect();
            return done(output_);
        }
    }
}

std::string ChildProcess::readErrors(Clock::time_point deadline) {
    std::unique_lock guard(lock_);
    changed_.wait_until(guard, deadline, [this] { return errEnded_.load(); });
    collect();
    return errors_;
}

ChildProcess::Exit ChildProcess::wait(Clock::time_point deadline) {
    if (process_ == nullptr)
        return exit_;
    if (WaitForSingleObject(process_, MillisLeft(deadline)) != WAIT_OBJECT_0) {
        kill();
        exit_.timedOut = true;
        return exit_;
    }
    DWORD status = 0;
    if (GetExitCodeProcess(process_, &status))
        exit_.status = static_cast<int>(status);
    else
        exit_.failure = WithLastError("its exit code could not be read");
    CloseHandleOf(process_);
    pid_ = -1;
    return exit_;
}

void ChildProcess::kill() {
    if (process_ == nullptr)
        return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, INFINITE);
    CloseHandleOf(process_);
    pid_ = -1;
}

} // namespace trax_test
