/* Runs the peer program of the cross-process tests and talks to it through its output. */
#ifndef TRAX_TESTS_PLATFORM_PEER_PROCESS_H
#define TRAX_TESTS_PLATFORM_PEER_PROCESS_H

#include <sys/types.h>

#include <string>
#include <vector>

class PeerProcess {
  public:
    /// Starts the peer (or another program) with the arguments and extra "NAME=value"
    /// environment entries.
    explicit PeerProcess(const std::vector<std::string> &args,
                         const std::vector<std::string> &environment = {},
                         const std::string &program = TRAX_BIN_DIR "/platform_test_peer");
    ~PeerProcess();
    PeerProcess(const PeerProcess &) = delete;
    PeerProcess &operator=(const PeerProcess &) = delete;

    bool started() const { return pid_ > 0; }
    /// The next line of standard output without its newline, or "<timeout>" / "<eof>".
    std::string readLine(int timeoutMs = 5000);
    /// Everything the peer wrote to standard error until it closed it.
    std::string readErrors(int timeoutMs = 5000);
    /// Exit status, or -1 if the peer did not end in time (it is killed then).
    int wait(int timeoutMs = 5000);
    void kill();

  private:
    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string pending_;
};

/// Path of the socket file through which the named event of this user travels.
std::string eventSocketPath(const std::string &name);

/// True while a live socket is bound to the named event's file.
bool nameIsBound(const std::string &name);

#endif
