// Binary input/output channels.
#include "sim_drivers.h"
#include "trax_errors.h"

namespace sim {

Status BinaryIoDriver::read(int32_t channel, int32_t *value) {
    *value = channel_word(state_, channel).load(std::memory_order_relaxed);
    return ERR_SUCCESS;
}

Status BinaryIoDriver::write(int32_t channel, int32_t value) {
    channel_word(state_, channel).store(value & kStoredBits, std::memory_order_relaxed);
    return ERR_SUCCESS;
}

} // namespace sim
