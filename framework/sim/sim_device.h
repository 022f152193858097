// A live simulated device: its state, its driver model and its device semaphore.
#ifndef TRAX_SIM_DEVICE_H
#define TRAX_SIM_DEVICE_H

#include <cstdint>
#include <memory>
#include <vector>

#include "sim_catalogue.h"
#include "sim_shared_state.h"
#include "sim_state.h"
#include "trax_api.h"

namespace sim {

/// Behaviour of a low-level driver: data transfer and its device-specific status codes.
/// Every call is made with the device's mutex held. Direct calls (sim_direct.h) read and
/// write the channel values of models that merely store them without it, so such models
/// reach them through channel_word() only.
class Driver {
  public:
    virtual ~Driver() = default;
    virtual Status read(int32_t channel, int32_t *value) = 0;
    virtual Status write(int32_t channel, int32_t value) = 0;
    virtual Status get_block(uint8_t *buffer, int32_t length, int32_t *done) = 0;
    virtual Status set_block(const uint8_t *buffer, int32_t length, int32_t *done) = 0;
    /// Device-specific codes (0x12xx, 0x22xx); the default knows none.
    virtual Status get_stat(int32_t code, int32_t *value);
    virtual Status set_stat(int32_t code, int32_t value);
    virtual Status get_stat_block(int32_t code, M_SG_BLOCK *block);
    virtual Status set_stat_block(int32_t code, const M_SG_BLOCK *block);
    /// Called when the last path to the device closes.
    virtual void last_path_closed() {}
};

/// The driver model of spec, working on state; device-specific codes of the definition's
/// table are answered before the model sees them.
std::unique_ptr<Driver> make_driver(const DeviceSpec &spec, DeviceState &state);

/// Binary semaphore of a device, held by one path at a time, also across processes.
/// Waiting never holds the device's lock, so other calls on the device go on meanwhile.
class DeviceSemaphore {
  public:
    explicit DeviceSemaphore(SharedState &state) : state_(state) {}

    /// Takes the semaphore for owner; timeoutMs 0 = no wait, -1 = forever. The wait ends
    /// early with ERR_MK_ILL_PATH when abandon(owner) is called.
    Status take(const void *owner, int32_t timeoutMs);
    /// Gives it back; ERR_MK_DEVSEM_NOT_HELD unless owner holds it.
    Status give(const void *owner);
    /// Called when owner's path closes: frees the semaphore if owner holds it and ends
    /// owner's waits.
    void abandon(const void *owner);
    /// Called when no call on owner's path is left: its address may be reused.
    void forget(const void *owner);

  private:
    Status try_take(const void *owner, LONG &seen);
    bool is_abandoned(const void *owner) const;

    SharedState &state_;
    std::vector<const void *> abandoned_; ///< paths of this process, under the lock
};

/// What the fault rules make of one call: an error to fail it with (0 to let it run) and
/// a delay before it returns.
struct Injection {
    Status error = 0;
    int32_t delayMs = 0;
};

/// One live device of the catalogue.
class Device {
  public:
    explicit Device(DeviceSpec spec);

    const DeviceSpec &spec() const { return spec_; }
    /// The device's lock, shared with the other processes that use the device.
    SharedState &mutex() { return shared_; }
    DeviceSemaphore &semaphore() { return semaphore_; }
    /// Called for each path made; the first one of the process reaches the state.
    Status add_user();
    /// Called when the last call on a path is over; the last one lets the state go.
    void remove_user() { shared_.remove_user(); }

    // The members below are used with mutex() held, while a path is open.
    Driver &driver() { return *driver_; }
    DeviceState &state() { return shared_.device(); }
    DebugLevels &debug() { return state().debug; }
    /// Paths of this process to the device.
    int32_t &path_count() { return pathCount_; }
    int32_t &irq_enabled() { return state().irqEnabled; }
    int32_t &driver_id_check() { return state().driverIdCheck; }
    int32_t &board_id_check() { return state().boardIdCheck; }
    const std::vector<uint8_t> &device_id_prom() const { return deviceIdProm_; }
    const std::vector<uint8_t> &board_id_prom() const { return boardIdProm_; }
    /// Counts the call against the device's fault rules and says what they make of it.
    /// selector is the channel of a read or write, the code of a status or ioctl call.
    Injection inject(DeviceCall call, int32_t selector);

    /// Whether a read or a write (call) may be a direct call that only moves the value:
    /// the model's channels are plain stored values and no fault rule sees such calls.
    bool direct_access(DeviceCall call) const {
        return (directCalls_ & (1u << static_cast<unsigned>(call))) != 0;
    }
    /// The bits of a written value that a channel keeps.
    int32_t stored_bits() const { return storedBits_; }

  private:
    const DeviceSpec spec_;
    SharedState shared_;
    DeviceSemaphore semaphore_;
    std::unique_ptr<Driver> driver_; ///< made again each time a shared state is attached
    int32_t pathCount_ = 0;
    const int32_t storedBits_;
    const uint32_t directCalls_; ///< bit (1 << DeviceCall) for each
    std::vector<uint8_t> deviceIdProm_;
    std::vector<uint8_t> boardIdProm_;
};

/// Bytes of an id-prom built from its description and the device's name.
std::vector<uint8_t> build_id_prom(const IdPromSpec &spec, const std::string &name);

} // namespace sim

#endif
