// Binary input/output channels.
#include "sim_drivers.h"
#include "trax_errors.h"

namespace sim {

Status BinaryIoDriver::read(int32_t channel, int32_t *value) {
    *value = state_.channels[channel];
    return ERR_SUCCESS;
}

Status BinaryIoDriver::write(int32_t channel, int32_t value) {
    state_.channels[channel] = value & 1;
    return ERR_SUCCESS;
}

} // namespace sim
