#include "child_process_win32.h"

#include <chrono>

namespace {

/** The command line of program and args, each in double quotes (the tests pass no
 *  argument with a double quote or a trailing backslash). */
std::string CommandLine(const std::string &program, const std::vector<std::string> &args) {
    std::string line = "\"" + program + "\"";
    for (const std::string &arg : args)
        line += " \"" + arg + "\"";
    return line;
}

/** A pipe whose one end the child inherits: childReads tells which. */
bool MakePipe(HANDLE *parentEnd, HANDLE *childEnd, bool childReads) {
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

} // namespace

ChildProcess::ChildProcess(const std::string &program, const std::vector<std::string> &args) {
    HANDLE childIn = nullptr;
    HANDLE childOut = nullptr;
    if (!MakePipe(&toChild_, &childIn, true))
        return;
    if (!MakePipe(&fromChild_, &childOut, false)) {
        CloseHandle(childIn);
        return;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    std::string line = CommandLine(program, args);
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        processId_ = info.dwProcessId;
    }
    CloseHandle(childIn);
    CloseHandle(childOut);
    reader_ = std::thread(&ChildProcess::ReadOutput, this);
}

ChildProcess::~ChildProcess() {
    if (process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT)
        TerminateProcess(process_, 1);
    CloseInput();
    if (reader_.joinable())
        reader_.join();
    if (process_ != nullptr)
        CloseHandle(process_);
    CloseHandle(fromChild_);
}

bool ChildProcess::Send(const std::string &text) {
    size_t done = 0;
    while (toChild_ != nullptr && done < text.size()) {
        DWORD written = 0;
        if (!WriteFile(toChild_, text.data() + done, static_cast<DWORD>(text.size() - done),
                       &written, nullptr))
            return false;
        done += written;
    }
    return toChild_ != nullptr;
}

void ChildProcess::CloseInput() {
    if (toChild_ != nullptr)
        CloseHandle(toChild_);
    toChild_ = nullptr;
}

/* Appends the output as it comes, with "\r\n" read as "\n", until the pipe ends (the
 * program and every process that inherited its output have ended). */
void ChildProcess::ReadOutput() {
    char buf[4096];
    bool pendingReturn = false;
    DWORD got = 0;
    while (ReadFile(fromChild_, buf, sizeof buf, &got, nullptr) && got > 0) {
        std::lock_guard guard(lock_);
        for (DWORD i = 0; i < got; ++i) {
            if (pendingReturn && buf[i] != '\n')
                output_ += '\r';
            pendingReturn = buf[i] == '\r';
            if (!pendingReturn)
                output_ += buf[i];
        }
        changed_.notify_all();
    }
    std::lock_guard guard(lock_);
    if (pendingReturn)
        output_ += '\r';
    ended_ = true;
    changed_.notify_all();
}

bool ChildProcess::WaitFor(const std::string &needle, int count, int timeoutMs) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, std::chrono::milliseconds(timeoutMs), [&] {
        return ended_ || CountOccurrences(output_, needle) >= count;
    }) && CountOccurrences(output_, needle) >= count;
}

bool ChildProcess::Finish(int timeoutMs) {
    CloseInput();
    if (process_ == nullptr)
        return false;
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, INFINITE);
        return false;
    }
    if (reader_.joinable())
        reader_.join();
    DWORD status = 0;
    GetExitCodeProcess(process_, &status);
    exitStatus = static_cast<int>(status);
    return true;
}

std::string ChildProcess::Output() {
    std::lock_guard guard(lock_);
    return output_;
}

int CountOccurrences(const std::string &text, const std::string &needle) {
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos;
         at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}
