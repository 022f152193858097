// A second process for the tests of shared devices. Usage:
//   trax_sim_user DEVICE STEP...
// adds DEVICE (see sim_user.h) and runs the steps in order, printing one line each:
//   variant        describe DEVICE differently (before open)
//   as-uid:UID     become that user
//   open           "open <error hex>"            write:V   "write <error hex>"
//   read           "read <value>"                take:MS   "take <error hex>"
//   give           "give <error hex>"            count:N   N increments of the counter in
//   pause          wait until killed                       block memory under the semaphore,
//   storm          count for ever, "n" after each          then "counted <N>"
//   hammer:MS      count until MS have passed, then "counted <N>"
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim_user.h"
#include "trax_api.h"
#include "trax_codes.h"
#include "trax_win32.h"

namespace {

int32_t g_path = -1;

unsigned error_of(int32_t result) {
    return result < 0 ? GetLastError() : 0;
}

unsigned semaphore(DWORD code, int32_t argument) {
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(g_path));
    return DeviceIoControl(handle, code, &argument, sizeof argument, nullptr, 0, nullptr, nullptr)
               ? 0
               : GetLastError();
}

// One increment of the 32-bit counter at the start of the block memory.
bool increment() {
    if (semaphore(MK_IOCTL_DEVSEM_WAIT, -1) != 0)
        return false;
    uint32_t counter = 0;
    const bool ok = M_getblock(g_path, reinterpret_cast<uint8_t *>(&counter), 4) == 4;
    ++counter;
    const bool stored = ok && M_setblock(g_path, reinterpret_cast<uint8_t *>(&counter), 4) == 4;
    return semaphore(MK_IOCTL_DEVSEM_RELEASE, 0) == 0 && stored;
}

long count_until(long limit, std::chrono::steady_clock::time_point end, bool announce) {
    long done = 0;
    while (done < limit && std::chrono::steady_clock::now() < end && increment()) {
        ++done;
        if (announce) {
            std::printf("n\n");
            std::fflush(stdout);
        }
    }
    return done;
}

bool run_step(const std::string &device, const std::string &step) {
    const size_t colon = step.find(':');
    const std::string word = step.substr(0, colon);
    const long value = colon == std::string::npos ? 0 : std::atol(step.c_str() + colon + 1);
    const auto forever = std::chrono::steady_clock::time_point::max();
    if (word == "as-uid")
        return setgid(static_cast<gid_t>(value)) == 0 && setuid(static_cast<uid_t>(value)) == 0;
    if (word == "open") {
        g_path = M_open(device.c_str());
        std::printf("open %x\n", error_of(g_path));
    } else if (word == "write") {
        std::printf("write %x\n", error_of(M_write(g_path, static_cast<int32_t>(value))));
    } else if (word == "read") {
        int32_t read = 0;
        M_read(g_path, &read);
        std::printf("read %d\n", read);
    } else if (word == "take") {
        std::printf("take %x\n", semaphore(MK_IOCTL_DEVSEM_WAIT, static_cast<int32_t>(value)));
    } else if (word == "give") {
        std::printf("give %x\n", semaphore(MK_IOCTL_DEVSEM_RELEASE, 0));
    } else if (word == "count") {
        std::printf("counted %ld\n", count_until(value, forever, false));
    } else if (word == "hammer") {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(value);
        std::printf("counted %ld\n", count_until(LONG_MAX, end, false));
    } else if (word == "storm") {
        count_until(LONG_MAX, forever, true);
    } else if (word == "pause") {
        std::fflush(stdout);
        for (;;)
            pause();
    } else {
        return false;
    }
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return 2;
    const std::string device = argv[1];
    int first = 2;
    const bool variant = argc > 2 && std::strcmp(argv[2], "variant") == 0;
    first += variant ? 1 : 0;
    AddSharedTestDevice(device, variant);
    for (int i = first; i < argc; ++i) {
        if (!run_step(device, argv[i]))
            return 1;
    }
    return 0;
}
