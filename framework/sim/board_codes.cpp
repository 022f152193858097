// Status codes answered by the base-board driver: interrupt figures, id-prom and its
// debug level.
#include "sim_block.h"
#include "sim_codes.h"

namespace sim {

namespace {

Status id_size(Path &p, int32_t *v) {
    return id_prom_size(p.device->board_id_prom(), ERR_BBIS_NO_IDPROM, v);
}

Status id_data(Path &p, M_SG_BLOCK *block) {
    return id_prom_data(p.device->board_id_prom(), ERR_BBIS_NO_IDPROM, block);
}

Status get_id_check(Path &p, int32_t *v) {
    return value_of(p.device->board_id_check(), v);
}

Status set_id_check(Path &p, int32_t v) {
    p.device->board_id_check() = v;
    return ERR_SUCCESS;
}

constexpr StandardCode kStandard[] = {
    {M_BB_IRQ_VECT, irq_figure<&IrqSpec::vector>, nullptr},
    {M_BB_IRQ_LEVEL, irq_figure<&IrqSpec::level>, nullptr},
    {M_BB_IRQ_PRIORITY, irq_figure<&IrqSpec::priority>, nullptr},
    {M_BB_IRQ_EXP_COUNT, irq_figure<&IrqSpec::exceptionCount>, nullptr},
    {M_BB_ID_CHECK, get_id_check, set_id_check},
    {M_BB_DEBUG_LEVEL, get_level<&DebugLevels::board>, set_level<&DebugLevels::board>},
    {M_BB_ID_SIZE, id_size, nullptr},
};

constexpr BlockCode kBlock[] = {
    {M_BB_BLK_ID_DATA, id_data, nullptr},
};

} // namespace

const CodeLayer &board_codes() {
    static const CodeLayer layer{kStandard, kBlock, ERR_BBIS_UNK_CODE};
    return layer;
}

} // namespace sim
