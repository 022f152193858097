// FlushProcessWriteBuffers: a full memory barrier on every processor that runs a thread of
// this process. It lets a thread that rarely needs ordering (one freeing what others read)
// pay for it on behalf of threads that need it on every call and then get by without any
// fence of their own.
//
// The kernel's expedited private membarrier does exactly this. Where it is refused (an old
// kernel, a seccomp filter), changing the protection of a page of ours has the same effect:
// the kernel must flush that page from the translation buffers of every processor running
// the process, and the interrupt that does so is a full barrier on each of them.
#include <linux/membarrier.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "trax_win32.h"

namespace {

long membarrier(int command) {
    return syscall(SYS_membarrier, command, 0, 0);
}

bool expeditedBarrierAvailable() {
    static const bool available = membarrier(MEMBARRIER_CMD_REGISTER_PRIVATE_EXPEDITED) == 0;
    return available;
}

// The page is written before each protection change, so that it is present in the
// translation buffers and the kernel cannot skip the flush.
void barrierByProtectionChange() {
    static std::mutex lock;
    static void *const page =
        mmap(nullptr, 1, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (page == MAP_FAILED)
        std::abort(); // without a barrier, freeing memory other threads read is unsafe
    std::lock_guard guard(lock);
    if (mprotect(page, 1, PROT_READ | PROT_WRITE) != 0)
        std::abort();
    *static_cast<volatile char *>(page) = 1;
    if (mprotect(page, 1, PROT_NONE) != 0)
        std::abort();
}

} // namespace

void WINAPI FlushProcessWriteBuffers(void) {
    if (expeditedBarrierAvailable() && membarrier(MEMBARRIER_CMD_PRIVATE_EXPEDITED) == 0)
        return;
    barrierByProtectionChange();
}
