#include "peer_process.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>

#include "event_folder.h"
#include "event_wire.h"

PeerProcess::PeerProcess(const std::vector<std::string> &args,
                         const std::vector<std::string> &environment, const std::string &program)
    : child_(program, args, environment, true) {}

int PeerProcess::wait(int timeoutMs) {
    if (!child_.started())
        return -1;
    const trax_test::ChildProcess::Exit exit =
        child_.wait(trax_test::ChildProcess::after(timeoutMs));
    if (exit.timedOut)
        return -1;
    return exit.signal != 0 ? 128 + exit.signal : exit.status;
}

std::string eventSocketPath(const std::string &name) {
    std::string folder;
    sockaddr_un address;
    if (trax::platform::eventFolder(folder) != 0 ||
        trax::platform::makeEventAddress(folder, name, address) == 0)
        return "";
    return address.sun_path;
}

bool nameIsBound(const std::string &name) {
    const std::string path = eventSocketPath(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const int probe = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool bound =
        connect(probe, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    close(probe);
    return bound;
}
