/* Block transfers on a device memory, and the choice of driver model for a device. */
#include <algorithm>
#include <cstring>

#include "sim_drivers.h"
#include "trax_errors.h"

namespace sim {

Status MemoryDriver::get_block(uint8_t *buffer, int32_t length, int32_t *done) {
    const std::size_t count = std::min(static_cast<std::size_t>(length), memory_.size());
    if (count > 0) {
        std::memcpy(buffer, memory_.data(), count);
    }
    *done = static_cast<int32_t>(count);
    return ERR_SUCCESS;
}

Status MemoryDriver::set_block(const uint8_t *buffer, int32_t length, int32_t *done) {
    const std::size_t count = std::min(static_cast<std::size_t>(length), memory_.size());
    if (count > 0) {
        std::memcpy(memory_.data(), buffer, count);
    }
    *done = static_cast<int32_t>(count);
    return ERR_SUCCESS;
}

std::unique_ptr<Driver> make_driver(const DeviceSpec &spec) {
    switch (spec.model) {
    case DriverModel::AnalogIn:
        return std::make_unique<AnalogInDriver>();
    case DriverModel::MtTest:
        return std::make_unique<MtDriver>(spec);
    case DriverModel::BinaryIo:
        break;
    }
    return std::make_unique<BinaryIoDriver>(spec);
}

} // namespace sim
