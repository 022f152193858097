// Where a device's state lives and the device's lock.
//
// By default the state lives in a named file mapping of the platform layer, one per device
// and user, so every process of the user sees the same device, as with real hardware. A
// named mutex of the same name is the device's lock; when a process dies holding it, the
// next locker repairs what the dead process may have left half-done. A process holds the
// state while it has a path to the device open; the platform removes it when the last
// process lets go. With TRAX_SIM_SHARING=process each process has private state instead,
// kept for the life of the process.
#ifndef TRAX_SIM_SHARED_STATE_H
#define TRAX_SIM_SHARED_STATE_H

#include <cstdint>
#include <mutex>

#include "sim_catalogue.h"
#include "sim_state.h"
#include "trax_win32.h"

namespace sim {

/// The path that holds the device semaphore: its process and its address there.
struct SemaphoreHolder {
    TRAX_PROCESS_STAMP process;
    uint64_t path;
};

/// The shared block: what identifies the state, the device semaphore, the device state.
struct SharedBlock {
    uint64_t magic;
    uint64_t definitionHash;
    volatile LONG semaphoreChanges; ///< bumped at each release, waited on by takers
    uint32_t reserved;
    SemaphoreHolder holder; ///< process id 0 when free
    DeviceState device;
};

/// True unless TRAX_SIM_SHARING=process asks for private devices.
bool devices_are_shared();

/// The state of one device as this process reaches it. lock() and unlock() make it the
/// device's lock (recursive, as a Windows mutex is).
class SharedState {
  public:
    explicit SharedState(const DeviceSpec &spec);
    ~SharedState();
    SharedState(const SharedState &) = delete;
    SharedState &operator=(const SharedState &) = delete;

    bool is_shared() const { return shared_; }
    /// Called for each path made: the first attaches to the state and sets `attached`.
    /// ERR_MK_DEF_MISMATCH when the state of this name was made from another definition.
    Status add_user(bool &attached);
    /// Called when the last call on a path is over: the last one lets the state go.
    void remove_user();

    void lock();
    void unlock();

    // Valid while a path to the device is open (always for a private state).
    SharedBlock &block() { return *block_; }
    DeviceState &device() { return block_->device; }
    /// Wakes the semaphore's waiters in every process; with the lock held.
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
    std::mutex usersLock_;
    int users_ = 0;
    std::recursive_mutex localLock_;
    std::unique_ptr<SharedBlock> local_;
    HANDLE mapping_ = nullptr;
    HANDLE mutex_ = nullptr;
    SharedBlock *block_ = nullptr;
};

} // namespace sim

#endif
