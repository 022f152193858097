/* The mutable state of a simulated device, kept apart from its description.
 *
 * By default the state lives in a named file mapping of the platform layer, one per device
 * and user, so every process of the user sees the same device, as with real hardware. A
 * named mutex of the same name is the device's lock; when a process dies holding it, the
 * next locker repairs what the dead process may have left half-done. A process holds the
 * state while it has a path to the device open; the platform removes it when the last
 * process lets go. With TRAX_SIM_SHARING=process each process has private state instead,
 * kept for the life of the process. */
#ifndef TRAX_SIM_STATE_H
#define TRAX_SIM_STATE_H

#include <cstdint>
#include <mutex>
#include <vector>

#include "sim_catalogue.h"
#include "trax_win32.h"

namespace sim {

/** Debug levels of the layers, each read back as it was set. */
struct DebugLevels {
    uint32_t kernel = 0;
    uint32_t api = 0;
    uint32_t oss = 0;
    uint32_t driver = 0;
    uint32_t readBuffer = 0;
    uint32_t writeBuffer = 0;
    uint32_t board = 0;
};

/** The path that holds the device semaphore: its process and its address there. */
struct SemaphoreHolder {
    TRAX_PROCESS_STAMP process;
    uint64_t path;
};

/** Fixed part of a device's state; the channel registers and the block memory follow. */
struct StateHeader {
    uint64_t magic;
    uint64_t definitionHash;
    volatile LONG semaphoreChanges; /**< bumped at each release, waited on by takers */
    uint32_t registerCount;
    uint32_t memorySize;
    uint32_t reserved;
    SemaphoreHolder holder; /**< process id 0 when free */
    DebugLevels debug;
    int32_t irqEnabled;
    int32_t driverIdCheck;
    int32_t boardIdCheck;
    int64_t startNanoseconds; /**< when the device started, on the monotonic clock */
};

/** Hash of everything that makes a device description; equal descriptions give equal
 *  hashes in every process and build. */
uint64_t definition_hash(const DeviceSpec &spec);

/** True unless TRAX_SIM_SHARING=process asks for private devices. */
bool devices_are_shared();

/** The state of one device as this process reaches it. lock() and unlock() make it the
 *  device's lock (recursive, as a Windows mutex is). */
class DeviceState {
  public:
    explicit DeviceState(const DeviceSpec &spec);
    ~DeviceState();
    DeviceState(const DeviceState &) = delete;
    DeviceState &operator=(const DeviceState &) = delete;

    /** Called when a path to the device is made: the first one attaches to the state.
     *  ERR_MK_DEF_MISMATCH when the state of this name was made from another description. */
    Status add_user();
    /** Called when the last call on a path is over: the last one lets the state go. */
    void remove_user();

    void lock();
    void unlock();

    /* Valid while a path to the device is open. */
    StateHeader &header() { return *header_; }
    int32_t *registers();
    uint8_t *memory();
    /** Wakes the semaphore's waiters in every process; with the lock held. */
    void semaphore_changed();

  private:
    Status attach_shared();
    Status check_or_initialise();
    void detach_shared();
    void initialise();
    void repair();

    const DeviceSpec &spec_;
    const uint64_t hash_;
    const bool shared_;
    std::size_t bytes_;
    std::mutex usersLock_;
    int users_ = 0;
    std::recursive_mutex localLock_;
    std::vector<uint64_t> localMemory_;
    HANDLE mapping_ = nullptr;
    HANDLE mutex_ = nullptr;
    StateHeader *header_ = nullptr;
};

} // namespace sim

#endif
