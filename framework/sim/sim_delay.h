// Waiting in the simulated kernel: for MK_IOCTL_DELAY and for the delays of fault rules.
#ifndef TRAX_SIM_DELAY_H
#define TRAX_SIM_DELAY_H

#include <cstdint>

namespace sim {

/// Sleeps ms milliseconds (nothing for ms <= 0) on the monotonic clock.
void delay_ms(int32_t ms);

} // namespace sim

#endif
