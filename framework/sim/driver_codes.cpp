// Status codes common to every low-level driver: channel figures, interrupt counter,
// id-prom and debug levels. Device-specific codes go to the driver model.
#include "sim_block.h"
#include "sim_codes.h"

namespace sim {

namespace {

const ChannelSpec &channels(const Path &p) {
    return p.device->spec().channels;
}

Status id_size(Path &p, int32_t *v) {
    return id_prom_size(p.device->device_id_prom(), ERR_LL_NO_IDPROM, v);
}

Status id_data(Path &p, M_SG_BLOCK *block) {
    return id_prom_data(p.device->device_id_prom(), ERR_LL_NO_IDPROM, block);
}

template <int32_t ChannelSpec::*Figure> Status channel_figure(Path &p, int32_t *v) {
    return value_of(channels(p).*Figure, v);
}

Status get_id_check(Path &p, int32_t *v) {
    return value_of(p.device->driver_id_check(), v);
}

Status set_id_check(Path &p, int32_t v) {
    p.device->driver_id_check() = v;
    return ERR_SUCCESS;
}

constexpr StandardCode kStandard[] = {
    {M_LL_CH_NUMBER, channel_figure<&ChannelSpec::number>, nullptr},
    {M_LL_CH_DIR, channel_figure<&ChannelSpec::direction>, nullptr},
    {M_LL_CH_LEN, channel_figure<&ChannelSpec::lengthBits>, nullptr},
    {M_LL_CH_TYP, channel_figure<&ChannelSpec::type>, nullptr},
    {M_LL_IRQ_COUNT, irq_figure<&IrqSpec::driverCount>, nullptr},
    {M_LL_ID_CHECK, get_id_check, set_id_check},
    {M_LL_DEBUG_LEVEL, get_level<&DebugLevels::driver>, set_level<&DebugLevels::driver>},
    {M_LL_ID_SIZE, id_size, nullptr},
    {M_BUF_RD_DEBUG_LEVEL, get_level<&DebugLevels::readBuffer>,
     set_level<&DebugLevels::readBuffer>},
    {M_BUF_WR_DEBUG_LEVEL, get_level<&DebugLevels::writeBuffer>,
     set_level<&DebugLevels::writeBuffer>},
};

constexpr BlockCode kBlock[] = {
    {M_LL_BLK_ID_DATA, id_data, nullptr},
};

} // namespace

const CodeLayer &driver_codes() {
    static const CodeLayer layer{kStandard, kBlock, ERR_LL_UNK_CODE};
    return layer;
}

} // namespace sim
