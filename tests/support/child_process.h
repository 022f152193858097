// The one child-process harness of the tests: starts a program with arguments and extra
// environment entries, writes its standard input, reads its standard output and error
// against deadlines, waits for its end with a time-out, and kills it on any failure (the
// destructor kills a child that a test left running). On Windows the child's output comes
// with its "\r\n" line ends read as "\n".
#ifndef TRAX_TEST_CHILD_PROCESS_H
#define TRAX_TEST_CHILD_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#endif

namespace trax_test {

/// The extra "NAME=value" entries first, then those of this process that they do not
/// replace: the environment of a child.
std::vector<std::string> ChildEnvironment(const std::vector<std::string> &extra);

/// Path of a program built into the build tree's bin folder (with ".exe" on Windows).
std::string BinPath(const std::string &program);

class ChildProcess {
  public:
    using Clock = std::chrono::steady_clock;

    /// How the child ended.
    struct Exit {
        bool timedOut = false; ///< it did not end in time and was killed
        int status = -1;       ///< exit status, or -1 when it did not exit by itself
        int signal = 0;        ///< the signal that ended it, or 0
        /// Why there is no status although the child was not killed: it could not be
        /// started, or its exit code could not be read (with the system's error); else empty.
        std::string failure;
    };

    /// Starts program (a path) with args and extra "NAME=value" environment entries that
    /// replace or add to this process's environment. Standard input and output are pipes;
    /// standard error is one too with captureErrors, and this process's otherwise.
    explicit ChildProcess(const std::string &program, const std::vector<std::string> &args = {},
                          const std::vector<std::string> &environment = {},
                          bool captureErrors = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    /// Writes text to standard input, reading output meanwhile so that neither side can
    /// block the other. False when the child closed its input or the deadline passed.
    bool write(const std::string &text, Clock::time_point deadline);
    /// Closes standard input: the child reads end of file.
    void closeInput();

    /// Reads standard output until done(output()) holds (true), or until end of file or the
    /// deadline (false).
    bool readUntil(const std::function<bool(const std::string &)> &done,
                   Clock::time_point deadline);
    /// Reads standard output until end of file (true) or the deadline (false).
    bool readToEnd(Clock::time_point deadline);
    /// Reads standard output for ms milliseconds (or until end of file).
    void readFor(int ms);
    /// The next line of standard output without its line feed, taken out of what was
    /// read; "<timeout>" or "<eof>" when none is complete by the deadline or the end.
    std::string takeLine(Clock::time_point deadline);
    /// Everything the child writes to standard error until it closes it or the deadline.
    std::string readErrors(Clock::time_point deadline);

    /// What standard output has delivered so far (lines taken with takeLine excepted).
    std::string &output() { return output_; }

    /// Waits for the child's end until the deadline and kills it then.
    Exit wait(Clock::time_point deadline);
    /// Kills the child (if it still runs) and reaps it.
    void kill();

#if !defined(_WIN32)
    /// The child and the pipes to its standard input (blocking) and output.
    struct Handles {
        pid_t pid = -1;
        int in = -1;
        int out = -1;
    };
    /// Hands the child over to a caller that talks to it on its own: the caller then waits
    /// for it and closes the pipes; this object forgets them (standard error stays its own).
    Handles release();
#endif

    /// The point in time ms milliseconds from now.
    static Clock::time_point after(int ms) {
        return Clock::now() + std::chrono::milliseconds(ms);
    }

  private:
    /// True once standard output has ended and everything it delivered is in output_.
    bool outputEnded() const;

#if defined(_WIN32)
    /// Moves what the reader threads collected into output_ and errors_ (lock_ held).
    void collect();
    /// Reads from pipe until it ends into *text, under lock_, with "\r\n" read as "\n".
    void readPipe(void *pipe, std::string *text, std::atomic<bool> *ended);

    void *process_ = nullptr;
    pid_t pid_ = -1;
    void *in_ = nullptr;
    void *out_ = nullptr;
    void *err_ = nullptr;
    std::thread outReader_;
    std::thread errReader_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::string pendingOutput_;
    std::string pendingErrors_;
    std::atomic<bool> outEnded_ = false;
    std::atomic<bool> errEnded_ = true;
#else
    /// Waits for the next event on standard output and error (and input while toWrite is
    /// not null), reads what arrived and writes what fits; false at the deadline.
    bool pump(Clock::time_point deadline, const std::string *toWrite, size_t *written);
    /// Appends what fd delivers to text; at its end closes fd and sets it to -1.
    static void readInto(int &fd, std::string &text);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
#endif
    std::string output_;
    std::string errors_;
    Exit exit_;
};

} // namespace trax_test

#endif
