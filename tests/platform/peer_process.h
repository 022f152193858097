// Runs the peer program of the cross-process tests and talks to it through its output.
#ifndef TRAX_TESTS_PLATFORM_PEER_PROCESS_H
#define TRAX_TESTS_PLATFORM_PEER_PROCESS_H

#include <string>
#include <vector>

#include "child_process.h"

class PeerProcess {
  public:
    /// Starts the peer (or another program) with the arguments and extra "NAME=value"
    /// environment entries.
    explicit PeerProcess(const std::vector<std::string> &args,
                         const std::vector<std::string> &environment = {},
                         const std::string &program = TRAX_BIN_DIR "/platform_test_peer");
    /// Gives the peer time to end by itself before it is killed.
    ~PeerProcess() { wait(5000); }
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;

    bool started() const { return child_.started(); }
    /// The next line of standard output without its newline, or "<timeout>" / "<eof>".
    std::string readLine(int timeoutMs = 5000) {
        return child_.takeLine(trax_test::ChildProcess::after(timeoutMs));
    }
    /// Everything the peer wrote to standard error until it closed it.
    std::string readErrors(int timeoutMs = 5000) {
        return child_.readErrors(trax_test::ChildProcess::after(timeoutMs));
    }
    /// Exit status (128 + the signal for a peer ended by a signal), or -1 if the peer did
    /// not end in time (it is killed then).
    int wait(int timeoutMs = 5000);
    void kill() { child_.kill(); }

  private:
    trax_test::ChildProcess child_;
};

/// Path of the file through which the named event of this user travels.
std::string eventFilePath(const std::string &name);

/// True while a live owner holds the named event's file.
bool nameIsOwned(const std::string &name);

#endif
