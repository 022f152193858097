/* Status codes answered by the base-board driver: interrupt figures, id-prom and its
 * debug level. */
#include "sim_block.h"
#include "sim_codes.h"

namespace sim {

namespace {

const IrqSpec &irq(const Path &p) { return p.device->spec().irq; }

Status id_size(Path &p, int32_t *v)
{
    const auto &prom = p.device->board_id_prom();
    return prom.empty() ? ERR_BBIS_NO_IDPROM : value_of(static_cast<int32_t>(prom.size()), v);
}

Status id_data(Path &p, M_SG_BLOCK *block)
{
    const auto &prom = p.device->board_id_prom();
    if (prom.empty()) {
        return ERR_BBIS_NO_IDPROM;
    }
    deliver_bytes(block, prom.data(), prom.size());
    return ERR_SUCCESS;
}

constexpr StandardCode kStandard[] = {
    {M_BB_IRQ_VECT, [](Path &p, int32_t *v) { return value_of(irq(p).vector, v); }, nullptr},
    {M_BB_IRQ_LEVEL, [](Path &p, int32_t *v) { return value_of(irq(p).level, v); }, nullptr},
    {M_BB_IRQ_PRIORITY, [](Path &p, int32_t *v) { return value_of(irq(p).priority, v); }, nullptr},
    {M_BB_IRQ_EXP_COUNT, [](Path &p, int32_t *v) { return value_of(irq(p).exceptionCount, v); }, nullptr},
    {M_BB_ID_CHECK, [](Path &p, int32_t *v) { return value_of(p.device->board_id_check(), v); },
     [](Path &p, int32_t v) { p.device->board_id_check() = v; return ERR_SUCCESS; }},
    {M_BB_DEBUG_LEVEL, [](Path &p, int32_t *v) { return value_of(static_cast<int32_t>(p.device->debug().board), v); },
     [](Path &p, int32_t v) { p.device->debug().board = static_cast<uint32_t>(v); return ERR_SUCCESS; }},
    {M_BB_ID_SIZE, id_size, nullptr},
};

constexpr BlockCode kBlock[] = {
    {M_BB_BLK_ID_DATA, id_data, nullptr},
};

} // namespace

const CodeLayer &board_codes()
{
    static const CodeLayer layer{kStandard, kBlock, ERR_BBIS_UNK_CODE};
    return layer;
}

} // namespace sim
