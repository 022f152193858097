/* Status codes common to every low-level driver: channel figures, interrupt counter,
 * id-prom and debug levels. Device-specific codes go to the driver model. */
#include "sim_block.h"
#include "sim_codes.h"

namespace sim {

namespace {

const ChannelSpec &channels(const Path &p) { return p.device->spec().channels; }

Status id_size(Path &p, int32_t *v)
{
    const auto &prom = p.device->device_id_prom();
    return prom.empty() ? ERR_LL_NO_IDPROM : value_of(static_cast<int32_t>(prom.size()), v);
}

Status id_data(Path &p, M_SG_BLOCK *block)
{
    const auto &prom = p.device->device_id_prom();
    if (prom.empty()) {
        return ERR_LL_NO_IDPROM;
    }
    deliver_bytes(block, prom.data(), prom.size());
    return ERR_SUCCESS;
}

Status level_of(uint32_t level, int32_t *v) { return value_of(static_cast<int32_t>(level), v); }

Status set_level(uint32_t &level, int32_t value)
{
    level = static_cast<uint32_t>(value);
    return ERR_SUCCESS;
}

constexpr StandardCode kStandard[] = {
    {M_LL_CH_NUMBER, [](Path &p, int32_t *v) { return value_of(channels(p).number, v); }, nullptr},
    {M_LL_CH_DIR, [](Path &p, int32_t *v) { return value_of(channels(p).direction, v); }, nullptr},
    {M_LL_CH_LEN, [](Path &p, int32_t *v) { return value_of(channels(p).lengthBits, v); }, nullptr},
    {M_LL_CH_TYP, [](Path &p, int32_t *v) { return value_of(channels(p).type, v); }, nullptr},
    {M_LL_IRQ_COUNT, [](Path &p, int32_t *v) { return value_of(p.device->spec().irq.driverCount, v); }, nullptr},
    {M_LL_ID_CHECK, [](Path &p, int32_t *v) { return value_of(p.device->driver_id_check(), v); },
     [](Path &p, int32_t v) { p.device->driver_id_check() = v; return ERR_SUCCESS; }},
    {M_LL_DEBUG_LEVEL, [](Path &p, int32_t *v) { return level_of(p.device->debug().driver, v); },
     [](Path &p, int32_t v) { return set_level(p.device->debug().driver, v); }},
    {M_LL_ID_SIZE, id_size, nullptr},
    {M_BUF_RD_DEBUG_LEVEL, [](Path &p, int32_t *v) { return level_of(p.device->debug().readBuffer, v); },
     [](Path &p, int32_t v) { return set_level(p.device->debug().readBuffer, v); }},
    {M_BUF_WR_DEBUG_LEVEL, [](Path &p, int32_t *v) { return level_of(p.device->debug().writeBuffer, v); },
     [](Path &p, int32_t v) { return set_level(p.device->debug().writeBuffer, v); }},
};

constexpr BlockCode kBlock[] = {
    {M_LL_BLK_ID_DATA, id_data, nullptr},
};

} // namespace

const CodeLayer &driver_codes()
{
    static const CodeLayer layer{kStandard, kBlock, ERR_LL_UNK_CODE};
    return layer;
}

} // namespace sim
