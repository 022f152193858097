// The low-level driver models of the catalogue.
#ifndef TRAX_SIM_DRIVERS_H
#define TRAX_SIM_DRIVERS_H

#include <vector>

#include "sim_device.h"

namespace sim {

/// Block transfers on a device memory, always from its start; a transfer longer than the
/// memory moves only what fits.
class MemoryDriver : public Driver {
  public:
    MemoryDriver(const DeviceSpec &spec, DeviceState &state);
    Status get_block(uint8_t *buffer, int32_t length, int32_t *done) override;
    Status set_block(const uint8_t *buffer, int32_t length, int32_t *done) override;

  protected:
    DeviceState &state_;

  private:
    const uint32_t memorySize_;
};

/// Binary channels keep bit 0 of the last value written.
class BinaryIoDriver : public MemoryDriver {
  public:
    static constexpr int32_t kStoredBits = 1;

    using MemoryDriver::MemoryDriver;
    Status read(int32_t channel, int32_t *value) override;
    Status write(int32_t channel, int32_t value) override;
};

/// Read-only analog inputs: channel c follows waveform c % 4 (sine, ramp, triangle,
/// square) with a period that grows with c, in 16-bit values 0..65535.
class AnalogInDriver : public Driver {
  public:
    AnalogInDriver(const DeviceSpec &spec, const DeviceState &state);
    Status read(int32_t channel, int32_t *value) override;
    Status write(int32_t channel, int32_t value) override;
    /// Fills the buffer with 16-bit samples of channel 0, 1, ... in turn, least
    /// significant byte first.
    Status get_block(uint8_t *buffer, int32_t length, int32_t *done) override;
    Status set_block(const uint8_t *buffer, int32_t length, int32_t *done) override;

    /// Value of channel at t seconds after the device started.
    static int32_t sample(int32_t channel, double seconds);

  private:
    double elapsed_seconds() const;

    const int32_t channelCount_;
    const DeviceState &state_;
};

/// The MT test driver: 32-bit value registers, a block memory and eight alarms.
class MtDriver : public MemoryDriver {
  public:
    static constexpr int32_t kAlarmCount = 8;
    static constexpr int32_t kStoredBits = -1; ///< registers keep all 32 bits

    using MemoryDriver::MemoryDriver;
    Status read(int32_t channel, int32_t *value) override;
    Status write(int32_t channel, int32_t value) override;
    Status set_stat(int32_t code, int32_t value) override;
    Status set_stat_block(int32_t code, const M_SG_BLOCK *block) override;
    void last_path_closed() override;
};

/// The bits of a written value that a channel of the model keeps, or 0 when its channels
/// are not plain stored values.
int32_t stored_bits(DriverModel model);

/// Answers the device-specific codes of the definition's table and passes every other
/// request on to the model.
class CustomCodeDriver : public Driver {
  public:
    CustomCodeDriver(const DeviceSpec &spec, DeviceState &state, std::unique_ptr<Driver> model);
    Status read(int32_t channel, int32_t *value) override;
    Status write(int32_t channel, int32_t value) override;
    Status get_block(uint8_t *buffer, int32_t length, int32_t *done) override;
    Status set_block(const uint8_t *buffer, int32_t length, int32_t *done) override;
    Status get_stat(int32_t code, int32_t *value) override;
    Status set_stat(int32_t code, int32_t value) override;
    Status get_stat_block(int32_t code, M_SG_BLOCK *block) override;
    Status set_stat_block(int32_t code, const M_SG_BLOCK *block) override;
    void last_path_closed() override;

  private:
    /// Index of code in the table, or -1.
    int find(int32_t code) const;

    const DeviceSpec &spec_;
    DeviceState &state_;
    const std::vector<uint32_t> offsets_;
    const std::unique_ptr<Driver> model_;
};

} // namespace sim

#endif
