// Block transfers on a device memory, and the choice of driver model for a device.
#include <algorithm>
#include <cstring>

#include "sim_drivers.h"
#include "trax_errors.h"

namespace sim {

MemoryDriver::MemoryDriver(const DeviceSpec &spec, DeviceState &state)
    : state_(state), memorySize_(std::min(spec.memorySize, kMaxMemorySize)) {}

Status MemoryDriver::get_block(uint8_t *buffer, int32_t length, int32_t *done) {
    const std::size_t count = std::min(static_cast<std::size_t>(length), std::size_t{memorySize_});
    if (count > 0) {
        std::memcpy(buffer, state_.memory, count);
    }
    *done = static_cast<int32_t>(count);
    return ERR_SUCCESS;
}

Status MemoryDriver::set_block(const uint8_t *buffer, int32_t length, int32_t *done) {
    const std::size_t count = std::min(static_cast<std::size_t>(length), std::size_t{memorySize_});
    if (count > 0) {
        std::memcpy(state_.memory, buffer, count);
    }
    *done = static_cast<int32_t>(count);
    return ERR_SUCCESS;
}

namespace {

std::unique_ptr<Driver> make_model(const DeviceSpec &spec, DeviceState &state) {
    switch (spec.model) {
    case DriverModel::AnalogIn:
        return std::make_unique<AnalogInDriver>(spec, state);
    case DriverModel::MtTest:
        return std::make_unique<MtDriver>(spec, state);
    case DriverModel::BinaryIo:
        break;
    }
    return std::make_unique<BinaryIoDriver>(spec, state);
}

} // namespace

int32_t stored_bits(DriverModel model) {
    switch (model) {
    case DriverModel::BinaryIo:
        return BinaryIoDriver::kStoredBits;
    case DriverModel::MtTest:
        return MtDriver::kStoredBits;
    case DriverModel::AnalogIn:
        break;
    }
    return 0;
}

std::unique_ptr<Driver> make_driver(const DeviceSpec &spec, DeviceState &state) {
    std::unique_ptr<Driver> model = make_model(spec, state);
    if (spec.statusCodes.empty()) {
        return model;
    }
    return std::make_unique<CustomCodeDriver>(spec, state, std::move(model));
}

} // namespace sim
