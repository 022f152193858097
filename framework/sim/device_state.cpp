/* Device state in a named file mapping shared by the user's processes, or private. */
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim_state.h"
#include "trax_errors.h"

namespace sim {

namespace {

constexpr uint64_t kStateMagic = 0x5452415853544131ull; // "TRAXSTA1"
constexpr char kNamePrefix[] = "trax-sim-";

/* FNV-1a over the fields of a description, each length-prefixed or fixed-size. */
class Hasher {
  public:
    void add(const void *data, std::size_t size) {
        const auto *bytes = static_cast<const uint8_t *>(data);
        for (std::size_t i = 0; i < size; ++i) {
            value_ = (value_ ^ bytes[i]) * 0x100000001b3ull;
        }
    }
    void add(int64_t number) { add(&number, sizeof number); }
    void add(const std::string &text) {
        add(static_cast<int64_t>(text.size()));
        add(text.data(), text.size());
    }
    void add(const IdPromSpec &prom) {
        for (int64_t field : {int64_t{prom.size}, int64_t{prom.magic}, int64_t{prom.id},
                              int64_t{prom.revision}, int64_t{prom.serial}}) {
            add(field);
        }
    }
    uint64_t value() const { return value_; }

  private:
    uint64_t value_ = 0xcbf29ce484222325ull;
};

std::size_t state_bytes(const DeviceSpec &spec) {
    const std::size_t registers = static_cast<std::size_t>(std::max(spec.channels.number, 0));
    const std::size_t bytes = sizeof(StateHeader) + registers * sizeof(int32_t) + spec.memorySize;
    return (bytes + 7) & ~std::size_t{7};
}

int64_t monotonic_nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

uint64_t definition_hash(const DeviceSpec &spec) {
    Hasher h;
    for (const std::string *text :
         {&spec.name, &spec.hardwareName, &spec.driverName, &spec.boardName, &spec.boardDriverName,
          &spec.purpose, &spec.revision}) {
        h.add(*text);
    }
    const ChannelSpec &c = spec.channels;
    const IrqSpec &q = spec.irq;
    for (int64_t figure : {int64_t(spec.model),
                           int64_t{c.number},
                           int64_t{c.direction},
                           int64_t{c.lengthBits},
                           int64_t{c.type},
                           int64_t{q.installed},
                           int64_t{q.enabled},
                           int64_t{q.kernelCount},
                           int64_t{q.driverCount},
                           int64_t{q.vector},
                           int64_t{q.level},
                           int64_t{q.priority},
                           int64_t{q.exceptionCount},
                           int64_t{q.info},
                           int64_t{q.mode},
                           int64_t{spec.slot},
                           int64_t{spec.addrMode},
                           int64_t{spec.dataMode},
                           int64_t{spec.busType},
                           int64_t{spec.lockMode},
                           int64_t{spec.tickRate},
                           int64_t{spec.driverIdCheck},
                           int64_t{spec.boardIdCheck},
                           int64_t{spec.memorySize},
                           int64_t{spec.closeFails}}) {
        h.add(figure);
    }
    h.add(static_cast<int64_t>(spec.spaces.size()));
    for (const AddressSpace &space : spec.spaces) {
        h.add(int64_t{space.physical});
        h.add(int64_t{space.virtualAddr});
        h.add(int64_t{space.size});
    }
    h.add(spec.deviceIdProm);
    h.add(spec.boardIdProm);
    h.add(static_cast<int64_t>(spec.faultyCodes.size()));
    for (int32_t code : spec.faultyCodes) {
        h.add(int64_t{code});
    }
    return h.value();
}

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

DeviceState::DeviceState(const DeviceSpec &spec)
    : spec_(spec), hash_(definition_hash(spec)), shared_(devices_are_shared()),
      bytes_(state_bytes(spec)) {
    if (!shared_) {
        localMemory_.assign(bytes_ / sizeof(uint64_t), 0);
        header_ = reinterpret_cast<StateHeader *>(localMemory_.data());
        initialise();
    }
}

/* The platform removes the shared state when the process ends, also without this. */
DeviceState::~DeviceState() {
    detach_shared();
}

Status DeviceState::add_user() {
    std::lock_guard guard(usersLock_);
    if (users_ == 0 && shared_) {
        if (Status status = attach_shared()) {
            return status;
        }
    }
    ++users_;
    return ERR_SUCCESS;
}

void DeviceState::remove_user() {
    std::lock_guard guard(usersLock_);
    if (--users_ == 0 && shared_) {
        detach_shared();
    }
}

Status DeviceState::attach_shared() {
    const std::string name = kNamePrefix + spec_.name;
    mapping_ = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                  static_cast<DWORD>(bytes_), name.c_str());
    void *view =
        mapping_ != nullptr ? MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, bytes_) : nullptr;
    /* A view of our size fails on a smaller state: one made from another description. */
    const bool smaller = mapping_ != nullptr && view == nullptr;
    header_ = static_cast<StateHeader *>(view);
    if (header_ != nullptr) {
        mutex_ = CreateMutexA(nullptr, FALSE, name.c_str());
    }
    Status status = ERR_SUCCESS;
    if (header_ == nullptr || mutex_ == nullptr) {
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

Status DeviceState::check_or_initialise() {
    std::lock_guard guard(*this);
    if (header_->magic != kStateMagic) {
        initialise();
        return ERR_SUCCESS;
    }
    return header_->definitionHash == hash_ ? ERR_SUCCESS : ERR_MK_DEF_MISMATCH;
}

void DeviceState::detach_shared() {
    if (header_ != nullptr && shared_) {
        UnmapViewOfFile(header_);
        header_ = nullptr;
    }
    for (HANDLE *handle : {&mapping_, &mutex_}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
}

/* A new state: the description's initial values; magic last, so that a process that dies
 * half-way leaves a state the next one initialises again. */
void DeviceState::initialise() {
    std::memset(static_cast<void *>(header_), 0, bytes_);
    header_->definitionHash = hash_;
    header_->registerCount = static_cast<uint32_t>(std::max(spec_.channels.number, 0));
    header_->memorySize = spec_.memorySize;
    header_->irqEnabled = spec_.irq.enabled;
    header_->driverIdCheck = spec_.driverIdCheck;
    header_->boardIdCheck = spec_.boardIdCheck;
    header_->startNanoseconds = monotonic_nanoseconds();
    header_->magic = kStateMagic;
}

/* After a process died holding the lock: a semaphore holder that has ended lets go, and
 * waiters look again. Values and memory are as the dead process left them, as a device's
 * registers would be. */
void DeviceState::repair() {
    SemaphoreHolder &holder = header_->holder;
    if (holder.process.processId != 0 && !TraxIsProcessRunning(&holder.process)) {
        holder = SemaphoreHolder{};
    }
    semaphore_changed();
}

void DeviceState::semaphore_changed() {
    header_->semaphoreChanges = header_->semaphoreChanges + 1;
    TraxWakeSharedAddress(&header_->semaphoreChanges);
}

void DeviceState::lock() {
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

void DeviceState::unlock() {
    if (shared_) {
        ReleaseMutex(mutex_);
    } else {
        localLock_.unlock();
    }
}

int32_t *DeviceState::registers() {
    return reinterpret_cast<int32_t *>(header_ + 1);
}

uint8_t *DeviceState::memory() {
    return reinterpret_cast<uint8_t *>(registers() + header_->registerCount);
}

} // namespace sim
