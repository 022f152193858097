// M_getstat and M_setstat: checks the arguments and routes the code by its range to the
// kernel, the low-level driver or the board.
#include "sim_block.h"
#include "sim_codes.h"
#include "sim_kernel.h"

namespace sim {

namespace {

bool is_block_code(int32_t code) {
    return (code & M_BLK_BIT) != 0;
}

// The layer that answers a code, or null for codes outside every range.
const CodeLayer *layer_of(int32_t code) {
    switch (code & ~0xFF) {
    case M_MK_OF:
    case M_MK_BLK_OF:
        return &kernel_codes();
    case M_LL_OF:
    case M_DEV_OF:
    case M_LL_BLK_OF:
    case M_DEV_BLK_OF:
        return &driver_codes();
    case M_BB_OF:
    case M_BRD_OF:
    case M_BB_BLK_OF:
    case M_BRD_BLK_OF:
        return &board_codes();
    default:
        return nullptr;
    }
}

template <class Entry> const Entry *find_code(std::span<const Entry> table, int32_t code) {
    for (const Entry &entry : table) {
        if (entry.code == code) {
            return &entry;
        }
    }
    return nullptr;
}

// The device-specific ranges belong to the driver model, which answers them itself.
bool is_device_specific(int32_t code) {
    const int32_t base = code & ~0xFF;
    return base == M_DEV_OF || base == M_DEV_BLK_OF;
}

Status get_standard(Path &p, const CodeLayer &layer, int32_t code, int32_t *value) {
    if (is_device_specific(code)) {
        return p.device->driver().get_stat(code, value);
    }
    const StandardCode *entry = find_code(layer.standard, code);
    return entry != nullptr ? entry->get(p, value) : layer.unknown;
}

Status set_standard(Path &p, const CodeLayer &layer, int32_t code, int32_t value) {
    if (is_device_specific(code)) {
        return p.device->driver().set_stat(code, value);
    }
    const StandardCode *entry = find_code(layer.standard, code);
    if (entry == nullptr) {
        return layer.unknown;
    }
    return entry->set != nullptr ? entry->set(p, value) : ERR_MK_READ_ONLY;
}

Status get_block_code(Path &p, const CodeLayer &layer, int32_t code, M_SG_BLOCK *block) {
    if (Status status = check_block(block)) {
        return status;
    }
    if (is_device_specific(code)) {
        return p.device->driver().get_stat_block(code, block);
    }
    const BlockCode *entry = find_code(layer.block, code);
    return entry != nullptr ? entry->get(p, block) : layer.unknown;
}

Status set_block_code(Path &p, const CodeLayer &layer, int32_t code, const M_SG_BLOCK *block) {
    if (Status status = check_block(block)) {
        return status;
    }
    if (is_device_specific(code)) {
        return p.device->driver().set_stat_block(code, block);
    }
    const BlockCode *entry = find_code(layer.block, code);
    if (entry == nullptr) {
        return layer.unknown;
    }
    return entry->set != nullptr ? entry->set(p, block) : ERR_MK_READ_ONLY;
}

// Codes outside every range are refused before any layer or fault rule sees them.
Status unknown_code(int32_t path) {
    return with_open_path(path, [](Path &) -> Status { return ERR_MK_UNK_CODE; });
}

} // namespace

Status get_stat(int32_t path, int32_t code, int32_t *data) {
    const CodeLayer *layer = layer_of(code);
    if (layer == nullptr) {
        return unknown_code(path);
    }
    return with_rules(path, DeviceCall::GetStat, code, [&](Path &p) -> Status {
        if (data == nullptr) {
            return ERR_MK_ILL_PARAM;
        }
        if (is_block_code(code)) {
            return get_block_code(p, *layer, code, reinterpret_cast<M_SG_BLOCK *>(data));
        }
        return get_standard(p, *layer, code, data);
    });
}

Status set_stat(int32_t path, int32_t code, intptr_t data) {
    const CodeLayer *layer = layer_of(code);
    if (layer == nullptr) {
        return unknown_code(path);
    }
    return with_rules(path, DeviceCall::SetStat, code, [&](Path &p) -> Status {
        if (is_block_code(code)) {
            return set_block_code(p, *layer, code, reinterpret_cast<const M_SG_BLOCK *>(data));
        }
        return set_standard(p, *layer, code, static_cast<int32_t>(data));
    });
}

} // namespace sim
