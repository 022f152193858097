/* Status codes of the three layers. Each layer answers the codes of its own range from a
 * table of small handlers; a code that no entry knows fails with the layer's own
 * unknown-code error. */
#ifndef TRAX_SIM_CODES_H
#define TRAX_SIM_CODES_H

#include <cstdint>
#include <span>

#include "sim_path.h"

namespace sim {

/** A standard code: get reads the value; set is null for codes that cannot be set. */
struct StandardCode {
    int32_t code;
    Status (*get)(Path &path, int32_t *value);
    Status (*set)(Path &path, int32_t value);
};

/** A block code: get fills the caller's block; set is null for read-only codes. */
struct BlockCode {
    int32_t code;
    Status (*get)(Path &path, M_SG_BLOCK *block);
    Status (*set)(Path &path, const M_SG_BLOCK *block);
};

/** The codes a layer answers, and its error for codes it does not know. */
struct CodeLayer {
    std::span<const StandardCode> standard;
    std::span<const BlockCode> block;
    Status unknown;
};

const CodeLayer &kernel_codes();
const CodeLayer &driver_codes();
const CodeLayer &board_codes();

/** Delivers a fixed figure as a status value. */
inline Status value_of(int32_t figure, int32_t *value)
{
    *value = figure;
    return ERR_SUCCESS;
}

} // namespace sim

#endif
