/* The low-level driver models of the catalogue. */
#ifndef TRAX_SIM_DRIVERS_H
#define TRAX_SIM_DRIVERS_H

#include <chrono>
#include <vector>

#include "sim_device.h"

namespace sim {

/** Block transfers on a device memory, always from its start; a transfer longer than the
 *  memory moves only what fits. The memory and the channel registers are the device
 *  state's. */
class MemoryDriver : public Driver {
  public:
    explicit MemoryDriver(DeviceState &state) : state_(state) {}
    Status get_block(uint8_t *buffer, int32_t length, int32_t *done) override;
    Status set_block(const uint8_t *buffer, int32_t length, int32_t *done) override;

  protected:
    int32_t &register_of(int32_t channel) {
        return state_.registers()[static_cast<std::size_t>(channel)];
    }
    DeviceState &state_;
};

/** Binary channels keep bit 0 of the last value written. */
class BinaryIoDriver : public MemoryDriver {
  public:
    explicit BinaryIoDriver(DeviceState &state) : MemoryDriver(state) {}
    Status read(int32_t channel, int32_t *value) override;
    Status write(int32_t channel, int32_t value) override;
};

/** Read-only analog inputs: channel c follows waveform c % 4 (sine, ramp, triangle,
 *  square) with a period that grows with c, in 16-bit values 0..65535. */
class AnalogInDriver : public Driver {
  public:
    explicit AnalogInDriver(DeviceState &state) : state_(state) {}
    Status read(int32_t channel, int32_t *value) override;
    Status write(int32_t channel, int32_t value) override;
    /** Fills the buffer with 16-bit samples of channel 0, 1, ... in turn, least
     *  significant byte first. */
    Status get_block(uint8_t *buffer, int32_t length, int32_t *done) override;
    Status set_block(const uint8_t *buffer, int32_t length, int32_t *done) override;

    /** Value of channel at t seconds after the device started. */
    static int32_t sample(int32_t channel, double seconds);

  private:
    /** Seconds since the device started. */
    double elapsed_seconds();
    DeviceState &state_;
};

/** The MT test driver: 32-bit value registers, a block memory and eight alarms. */
class MtDriver : public MemoryDriver {
  public:
    static constexpr int32_t kAlarmCount = 8;

    explicit MtDriver(DeviceState &state) : MemoryDriver(state) {}
    Status read(int32_t channel, int32_t *value) override;
    Status write(int32_t channel, int32_t value) override;
    Status set_stat(int32_t code, int32_t value) override;
    Status set_stat_block(int32_t code, const M_SG_BLOCK *block) override;
    void last_path_closed() override;
};

} // namespace sim

#endif
