/* Binary input/output channels. */
#include <algorithm>

#include "sim_drivers.h"
#include "trax_errors.h"

namespace sim {

BinaryIoDriver::BinaryIoDriver(const DeviceSpec &spec)
    : MemoryDriver(spec.memorySize),
      bits_(static_cast<std::size_t>(std::max(spec.channels.number, 0)), 0) {}

Status BinaryIoDriver::read(int32_t channel, int32_t *value) {
    *value = bits_.at(static_cast<std::size_t>(channel));
    return ERR_SUCCESS;
}

Status BinaryIoDriver::write(int32_t channel, int32_t value) {
    bits_.at(static_cast<std::size_t>(channel)) = value & 1;
    return ERR_SUCCESS;
}

} // namespace sim
