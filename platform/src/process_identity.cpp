// Process identities read from /proc/<pid>/stat.
#include "process_identity.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "trax_win32.h"

namespace trax::platform {
namespace {

struct StatLine {
    char state = '?';
    uint64_t startTime = 0;
};

// Fields after the command name, which may itself hold ')' and blanks: state is the 1st,
// the start time the 20th.
bool parseStat(const char *text, StatLine &line) {
    const char *rest = std::strrchr(text, ')');
    if (rest == nullptr || rest[1] != ' ')
        return false;
    rest += 2;
    line.state = *rest;
    for (int field = 1; field < 20; ++field) {
        rest = std::strchr(rest, ' ');
        if (rest == nullptr)
            return false;
        ++rest;
    }
    line.startTime = std::strtoull(rest, nullptr, 10);
    return true;
}

bool readStat(int32_t pid, StatLine &line) {
    char path[32];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char text[1024];
    const ssize_t n = read(fd, text, sizeof text - 1);
    close(fd);
    if (n <= 0)
        return false;
    text[n] = '\0';
    return parseStat(text, line);
}

} // namespace

// The identity of the calling process as the system reports it now.
static ProcessIdentity readOwnIdentity() {
    ProcessIdentity identity;
    identity.pid = static_cast<int32_t>(getpid());
    StatLine line;
    if (readStat(identity.pid, line))
        identity.startTime = line.startTime;
    return identity;
}

ProcessIdentity currentProcess() {
    static const ProcessIdentity self = readOwnIdentity();
    // A forked child is another process: it is named by its own id and start time.
    if (self.pid == getpid())
        return self;
    return readOwnIdentity();
}

bool isRunning(const ProcessIdentity &process) {
    if (process.pid <= 0)
        return false;
    StatLine line;
    if (!readStat(process.pid, line))
        return false;
    return line.state != 'Z' && line.state != 'X' && line.startTime == process.startTime;
}

} // namespace trax::platform

using namespace trax::platform;

void WINAPI TraxGetProcessStamp(TRAX_PROCESS_STAMP *stamp) {
    if (stamp == nullptr)
        return;
    const ProcessIdentity self = currentProcess();
    *stamp = TRAX_PROCESS_STAMP{static_cast<DWORD>(self.pid), 0, self.startTime};
}

BOOL WINAPI TraxIsProcessRunning(const TRAX_PROCESS_STAMP *stamp) {
    if (stamp == nullptr)
        return FALSE;
    ProcessIdentity process;
    process.pid = static_cast<int32_t>(stamp->processId);
    process.startTime = stamp->startTime;
    return isRunning(process) ? TRUE : FALSE;
}
