// Device state in a named file mapping shared by the user's processes, or private.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim_definition.h"
#include "sim_shared_state.h"
#include "trax_errors.h"

namespace sim {

namespace {

constexpr uint64_t kStateMagic = 0x5452415853544132ull; // "TRAXSTA2"
constexpr char kNamePrefix[] = "trax-sim-";
// Mappings and mutexes share one set of names: the lock's name is the state's with this.
constexpr char kLockSuffix[] = ".lock";

} // namespace

bool devices_are_shared() {
    static const bool shared = [] {
        const char *mode = std::getenv("TRAX_SIM_SHARING");
        if (mode == nullptr || *mode == '\0' || std::strcmp(mode, "user") == 0) {
            return true;
        }
        if (std::strcmp(mode, "process") == 0) {
            return false;
        }
        std::fprintf(stderr,
                     "TRAX_SIM_SHARING=%.40s: unknown, use 'user' or 'process'; "
                     "devices are shared\n",
                     mode);
        return true;
    }();
    return shared;
}

SharedState::SharedState(const DeviceSpec &spec)
    : spec_(spec), hash_(definition_hash(spec)), shared_(devices_are_shared()) {
    if (!shared_) {
        local_ = std::make_unique<SharedBlock>();
        block_ = local_.get();
        initialise();
    }
}

// Devices live until the process ends, when other threads may still be inside a call on
// one: the state stays mapped, and the platform takes the process off the state's list of
// users as the process ends.
SharedState::~SharedState() = default;

Status SharedState::add_user(bool &attached) {
    std::lock_guard guard(usersLock_);
    attached = users_ == 0 && shared_;
    if (attached) {
        if (Status status = attach_shared()) {
            return status;
        }
    }
    ++users_;
    return ERR_SUCCESS;
}

void SharedState::remove_user() {
    std::lock_guard guard(usersLock_);
    if (--users_ == 0 && shared_) {
        detach_shared();
    }
}

// The state's mapping and lock are the framework's own: their handles must not take the
// numbers that paths get.
Status SharedState::attach_shared() {
    const std::string name = kNamePrefix + spec_.name;
    const BOOL wasInternal = TraxSetInternalHandles(TRUE);
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(sizeof(SharedBlock)), name.c_str());
    void *view = mapping_ != nullptr
                     ? MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SharedBlock))
                     : nullptr;
    // A view of our size fails on a smaller state: one made from another description.
    const bool smaller = mapping_ != nullptr && view == nullptr;
    block_ = static_cast<SharedBlock *>(view);
    if (block_ != nullptr) {
        mutex_ = CreateMutexA(nullptr, FALSE, (name + kLockSuffix).c_str());
    }
    TraxSetInternalHandles(wasInternal);
    Status status = ERR_SUCCESS;
    if (block_ == nullptr || mutex_ == nullptr) {
        // Otherwise the platform's reason, e.g. ERROR_ACCESS_DENIED for a planted file.
        status = smaller ? ERR_MK_DEF_MISMATCH : GetLastError();
        status = status != ERR_SUCCESS ? status : ERR_MK_NO_MEM;
    } else {
        status = check_or_initialise();
    }
    if (status != ERR_SUCCESS) {
        detach_shared();
    }
    return status;
}

Status SharedState::check_or_initialise() {
    std::lock_guard guard(*this);
    if (block_->magic != kStateMagic) {
        initialise();
        return ERR_SUCCESS;
    }
    return block_->definitionHash == hash_ ? ERR_SUCCESS : ERR_MK_DEF_MISMATCH;
}

void SharedState::detach_shared() {
    if (block_ != nullptr && shared_) {
        UnmapViewOfFile(block_);
        block_ = nullptr;
    }
    for (HANDLE *handle : {&mapping_, &mutex_}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
}

// A new state: the definition's power-on values; magic last, so that a process that dies
// half-way leaves a state the next one initialises again.
void SharedState::initialise() {
    std::memset(static_cast<void *>(block_), 0, sizeof(SharedBlock));
    block_->definitionHash = hash_;
    reset_state(block_->device, spec_);
    block_->magic = kStateMagic;
}

// After a process died holding the lock: a semaphore holder that has ended lets go, and
// waiters look again. Values and memory are as the dead process left them, as a device's
// registers would be.
void SharedState::repair() {
    SemaphoreHolder &holder = block_->holder;
    if (holder.process.processId != 0 && !TraxIsProcessRunning(&holder.process)) {
        holder = SemaphoreHolder{};
    }
    semaphore_changed();
}

void SharedState::semaphore_changed() {
    block_->semaphoreChanges = block_->semaphoreChanges + 1;
    TraxWakeSharedAddress(&block_->semaphoreChanges);
}

void SharedState::lock() {
    if (!shared_) {
        localLock_.lock();
        return;
    }
    switch (WaitForSingleObject(mutex_, INFINITE)) {
    case WAIT_OBJECT_0:
        return;
    case WAIT_ABANDONED:
        repair();
        return;
    default:
        std::abort(); // a handle this object owns cannot be bad
    }
}

void SharedState::unlock() {
    if (shared_) {
        ReleaseMutex(mutex_);
    } else {
        localLock_.unlock();
    }
}

} // namespace sim
