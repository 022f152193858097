// Status codes of the three layers. Each layer answers the codes of its own range from a
// table of small handlers; a code that no entry knows fails with the layer's own
// unknown-code error.
#ifndef TRAX_SIM_CODES_H
#define TRAX_SIM_CODES_H

#include <cstdint>
#include <span>
#include <vector>

#include "sim_path.h"

namespace sim {

/// A standard code: get reads the value; set is null for codes that cannot be set.
struct StandardCode {
    int32_t code;
    Status (*get)(Path &path, int32_t *value);
    Status (*set)(Path &path, int32_t value);
};

/// A block code: get fills the caller's block; set is null for read-only codes.
struct BlockCode {
    int32_t code;
    Status (*get)(Path &path, M_SG_BLOCK *block);
    Status (*set)(Path &path, const M_SG_BLOCK *block);
};

/// The codes a layer answers, and its error for codes it does not know.
struct CodeLayer {
    std::span<const StandardCode> standard;
    std::span<const BlockCode> block;
    Status unknown;
};

const CodeLayer &kernel_codes();
const CodeLayer &driver_codes();
const CodeLayer &board_codes();

/// Delivers a figure as a status value.
inline Status value_of(int32_t figure, int32_t *value) {
    *value = figure;
    return ERR_SUCCESS;
}

// Table handlers for the common kinds of code: a fixed figure of the catalogue entry or
// of its interrupt figures, and a debug level that reads back what was set.
template <int32_t DeviceSpec::*Figure> Status spec_figure(Path &p, int32_t *value) {
    return value_of(p.device->spec().*Figure, value);
}

template <int32_t IrqSpec::*Figure> Status irq_figure(Path &p, int32_t *value) {
    return value_of(p.device->spec().irq.*Figure, value);
}

/// Size and contents of an id-prom; missing is the layer's error for having none.
Status id_prom_size(const std::vector<uint8_t> &prom, Status missing, int32_t *value);
Status id_prom_data(const std::vector<uint8_t> &prom, Status missing, M_SG_BLOCK *block);

template <uint32_t DebugLevels::*Level> Status get_level(Path &p, int32_t *value) {
    return value_of(static_cast<int32_t>(p.device->debug().*Level), value);
}

template <uint32_t DebugLevels::*Level> Status set_level(Path &p, int32_t value) {
    p.device->debug().*Level = static_cast<uint32_t>(value);
    return ERR_SUCCESS;
}

} // namespace sim

#endif
