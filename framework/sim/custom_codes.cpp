// Device-specific status codes that a definition describes: fixed values and bytes, or
// registers and byte areas that read back what was set.
#include <cstring>

#include "sim_block.h"
#include "sim_drivers.h"
#include "trax_errors.h"

namespace sim {

CustomCodeDriver::CustomCodeDriver(const DeviceSpec &spec, DeviceState &state,
                                   std::unique_ptr<Driver> model)
    : spec_(spec), state_(state), offsets_(area_offsets(spec)), model_(std::move(model)) {}

int CustomCodeDriver::find(int32_t code) const {
    for (std::size_t i = 0; i < offsets_.size(); ++i) {
        if (spec_.statusCodes[i].code == code) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Status CustomCodeDriver::read(int32_t channel, int32_t *value) {
    return model_->read(channel, value);
}

Status CustomCodeDriver::write(int32_t channel, int32_t value) {
    return model_->write(channel, value);
}

Status CustomCodeDriver::get_block(uint8_t *buffer, int32_t length, int32_t *done) {
    return model_->get_block(buffer, length, done);
}

Status CustomCodeDriver::set_block(const uint8_t *buffer, int32_t length, int32_t *done) {
    return model_->set_block(buffer, length, done);
}

void CustomCodeDriver::last_path_closed() {
    model_->last_path_closed();
}

Status CustomCodeDriver::get_stat(int32_t code, int32_t *value) {
    const int i = find(code);
    if (i < 0) {
        return model_->get_stat(code, value);
    }
    const CustomCode &entry = spec_.statusCodes[static_cast<std::size_t>(i)];
    *value = entry.writable ? state_.registers[i] : entry.value;
    return ERR_SUCCESS;
}

Status CustomCodeDriver::set_stat(int32_t code, int32_t value) {
    const int i = find(code);
    if (i < 0) {
        return model_->set_stat(code, value);
    }
    if (!spec_.statusCodes[static_cast<std::size_t>(i)].writable) {
        return ERR_MK_READ_ONLY;
    }
    state_.registers[i] = value;
    return ERR_SUCCESS;
}

Status CustomCodeDriver::get_stat_block(int32_t code, M_SG_BLOCK *block) {
    const int i = find(code);
    if (i < 0) {
        return model_->get_stat_block(code, block);
    }
    const CustomCode &entry = spec_.statusCodes[static_cast<std::size_t>(i)];
    const uint32_t offset = offsets_[static_cast<std::size_t>(i)];
    if (offset == kNoArea) {
        deliver_bytes(block, entry.bytes.data(), entry.bytes.size());
    } else {
        deliver_bytes(block, state_.areas + offset, state_.areaLength[i]);
    }
    return ERR_SUCCESS;
}

// A writable area takes up to its capacity and then reads back exactly what was set; a
// longer block is refused and changes nothing.
Status CustomCodeDriver::set_stat_block(int32_t code, const M_SG_BLOCK *block) {
    const int i = find(code);
    if (i < 0) {
        return model_->set_stat_block(code, block);
    }
    const CustomCode &entry = spec_.statusCodes[static_cast<std::size_t>(i)];
    const uint32_t offset = offsets_[static_cast<std::size_t>(i)];
    if (offset == kNoArea) {
        return ERR_MK_READ_ONLY;
    }
    const auto length = static_cast<uint32_t>(block->size);
    if (length > entry.capacity) {
        return ERR_MK_BLK_SIZE;
    }
    if (length > 0) {
        std::memcpy(state_.areas + offset, block->data, length);
    }
    state_.areaLength[i] = length;
    return ERR_SUCCESS;
}

} // namespace sim
