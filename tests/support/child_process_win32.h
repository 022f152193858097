/* A console program run as a child process on Windows, for the end-to-end tests of the
 * Windows build: its standard input and output are pipes, its output is collected by a
 * reader thread with line ends turned into "\n", and every wait is bounded in time. */
#ifndef TRAX_TEST_CHILD_PROCESS_WIN32_H
#define TRAX_TEST_CHILD_PROCESS_WIN32_H

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "trax_win32.h"

class ChildProcess {
  public:
    /** Starts program with args (each quoted on the command line). Standard error stays
     *  the test's own. */
    ChildProcess(const std::string &program, const std::vector<std::string> &args);
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;
    /** Kills the program if it still runs. */
    ~ChildProcess();

    bool Started() const { return process_ != nullptr; }
    DWORD ProcessId() const { return processId_; }

    /** Writes text to the program's standard input; false once the program stopped
     *  reading. */
    bool Send(const std::string &text);
    void CloseInput();

    /** Waits until the output holds needle count times; false on time-out or when the
     *  output ends first. */
    bool WaitFor(const std::string &needle, int count, int timeoutMs);

    /** Closes the input and waits for the program to end and its output to be read; false
     *  after killing it at the time-out. exitStatus is its exit status, -1 until it ended. */
    bool Finish(int timeoutMs);

    int exitStatus = -1;

    /** Everything the program has written so far. */
    std::string Output();

  private:
    void ReadOutput();

    HANDLE process_ = nullptr;
    DWORD processId_ = 0;
    HANDLE toChild_ = nullptr;
    HANDLE fromChild_ = nullptr;
    std::thread reader_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::string output_;
    bool ended_ = false;
};

/** Number of times needle occurs in text. */
int CountOccurrences(const std::string &text, const std::string &needle);

#endif
