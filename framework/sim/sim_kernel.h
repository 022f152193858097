// The simulated kernel: paths to devices and the routing of every request to the kernel,
// the device's low-level driver model or its board model. Each function returns 0 or the
// framework error number; the library entry points turn that into -1 and the last error.
#ifndef TRAX_SIM_KERNEL_H
#define TRAX_SIM_KERNEL_H

#include <cstdint>

#include "sim_catalogue.h"

namespace sim {

Status open_path(const char *deviceName, int32_t *path);
Status close_path(int32_t path);
Status read_value(int32_t path, int32_t *value);
Status write_value(int32_t path, int32_t value);
Status get_stat(int32_t path, int32_t code, int32_t *data);
Status set_stat(int32_t path, int32_t code, intptr_t data);
Status get_block(int32_t path, uint8_t *buffer, int32_t length, int32_t *done);
Status set_block(int32_t path, const uint8_t *buffer, int32_t length, int32_t *done);

} // namespace sim

#endif
