#include "peer_process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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

std::string eventFilePath(const std::string &name) {
    std::string folder;
    if (trax::platform::eventFolder(folder) != 0)
        return "";
    return folder + "/" + trax::platform::eventFileName(name);
}

bool nameIsOwned(const std::string &name) {
    const int fd = open(eventFilePath(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool owned = flock(fd, LOCK_SH | LOCK_NB) != 0;
    close(fd);
    return owned;
}
