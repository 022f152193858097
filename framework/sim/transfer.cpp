// Data transfer on a path: single values on the current channel, and blocks.
#include "sim_block.h"
#include "sim_direct.h"
#include "sim_kernel.h"
#include "sim_path.h"

namespace sim {

namespace {

Status check_channel(const Path &p) {
    const int32_t channels = p.device->spec().channels.number;
    return p.channel >= 0 && p.channel < channels ? ERR_SUCCESS : ERR_LL_ILL_CHAN;
}

// In M_IO_EXEC_INC mode (any non-zero i/o mode) each transfer moves the path on to the
// next channel, from the last back to the first.
void advance_channel(Path &p) {
    if (p.ioMode != 0) {
        p.set_channel((p.channel + 1) % p.device->spec().channels.number);
    }
}

} // namespace

Status read_value(int32_t path, int32_t *value) {
    if (Status status = ERR_SUCCESS; direct_read(path, value, status)) {
        return status;
    }
    return with_rules(path, DeviceCall::Read, 0, [&](Path &p) -> Status {
        if (value == nullptr) {
            return ERR_MK_ILL_PARAM;
        }
        if (Status status = check_channel(p)) {
            return status;
        }
        Status status = p.device->driver().read(p.channel, value);
        if (status == ERR_SUCCESS) {
            advance_channel(p);
        }
        return status;
    });
}

Status write_value(int32_t path, int32_t value) {
    if (Status status = ERR_SUCCESS; direct_write(path, value, status)) {
        return status;
    }
    return with_rules(path, DeviceCall::Write, 0, [&](Path &p) -> Status {
        if (Status status = check_channel(p)) {
            return status;
        }
        Status status = p.device->driver().write(p.channel, value);
        if (status == ERR_SUCCESS) {
            advance_channel(p);
        }
        return status;
    });
}

Status get_block(int32_t path, uint8_t *buffer, int32_t length, int32_t *done) {
    return with_rules(path, DeviceCall::GetBlock, 0, [&](Path &p) -> Status {
        if (Status status = check_buffer(buffer, length)) {
            return status;
        }
        return p.device->driver().get_block(buffer, length, done);
    });
}

Status set_block(int32_t path, const uint8_t *buffer, int32_t length, int32_t *done) {
    return with_rules(path, DeviceCall::SetBlock, 0, [&](Path &p) -> Status {
        if (Status status = check_buffer(buffer, length)) {
            return status;
        }
        return p.device->driver().set_block(buffer, length, done);
    });
}

} // namespace sim
