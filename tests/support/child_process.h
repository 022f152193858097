// The one child-process harness of the tests: starts a program with arguments and extra
// environment entries, writes its standard input, reads its standard output and error
// against deadlines, waits for its end with a time-out, and kills it on any failure (the
// destructor kills a child that a test left running).
#ifndef TRAX_TEST_CHILD_PROCESS_H
#define TRAX_TEST_CHILD_PROCESS_H

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace trax_test {

/// Path of a program built into the build tree's bin folder.
std::string BinPath(const std::string &program);

class ChildProcess {
  public:
    using Clock = std::chrono::steady_clock;

    /// How the child ended.
    struct Exit {
        bool timedOut = false; ///< it did not end in time and was killed
        int status = -1;       ///< exit status, or -1 when it did not exit by itself
        int signal = 0;        ///< the signal that ended it, or 0
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

    /// The child and the pipes to its standard input (blocking) and output.
    struct Handles {
        pid_t pid = -1;
        int in = -1;
        int out = -1;
    };
    /// Hands the child over to a caller that talks to it on its own: the caller then waits
    /// for it and closes the pipes; this object forgets them (standard error stays its own).
    Handles release();

    /// The point in time ms milliseconds from now.
    static Clock::time_point after(int ms) { return Clock::now() + std::chrono::milliseconds(ms); }

  private:
    /// Waits for the next event on standard output and error (and input while toWrite is
    /// not null), reads what arrived and writes what fits; false at the deadline.
    bool pump(Clock::time_point deadline, const std::string *toWrite, size_t *written);
    /// Appends what fd delivers to text; at its end closes fd and sets it to -1.
    static void readInto(int &fd, std::string &text);

    pid_t pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string output_;
    std::string errors_;
    Exit exit_;
};

} // namespace trax_test

#endif
