// Who a process is, beyond its id: ids are reused, so a process is named by its id and the
// time it started, and a process counts as running only while both still match.
#ifndef TRAX_PLATFORM_PROCESS_IDENTITY_H
#define TRAX_PLATFORM_PROCESS_IDENTITY_H

#include <sys/types.h>

#include <cstdint>

namespace trax::platform {

struct ProcessIdentity {
    int32_t pid = 0;
    uint32_t reserved = 0;
    uint64_t startTime = 0; ///< clock ticks after boot, as the kernel reports it

    bool operator==(const ProcessIdentity &) const = default;
};

/// The calling process.
ProcessIdentity currentProcess();

/// True while the process runs (a zombie or a new process with a reused id does not).
bool isRunning(const ProcessIdentity &process);

} // namespace trax::platform

#endif
