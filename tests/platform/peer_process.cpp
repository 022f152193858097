#include "peer_process.h"

PeerProcess::PeerProcess(const std::vector<std::string> &args,
                         const std::vector<std::string> &environment)
    : child_(trax_test::BinPath("platform_test_peer"), args, environment, true) {}

int PeerProcess::wait(int timeoutMs) {
    if (!child_.started())
        return -1;
    const trax_test::ChildProcess::Exit exit =
        child_.wait(trax_test::ChildProcess::after(timeoutMs));
    if (exit.timedOut)
        return -1;
    return exit.signal != 0 ? 128 + exit.signal : exit.status;
}
