/* Status codes answered by the kernel: path state, device and board figures, names,
 * address spaces and the revision text. */
#include <cstring>

#include "sim_block.h"
#include "sim_codes.h"

namespace sim {

namespace {

const DeviceSpec &spec(const Path &p) { return p.device->spec(); }

Status set_channel(Path &p, int32_t value)
{
    if (value < 0 || value >= spec(p).channels.number) {
        return ERR_LL_ILL_CHAN;
    }
    p.channel = value;
    return ERR_SUCCESS;
}

Status set_level(uint32_t &level, int32_t value)
{
    level = static_cast<uint32_t>(value);
    return ERR_SUCCESS;
}

Status rev_size(Path &p, int32_t *v)
{
    return value_of(static_cast<int32_t>(spec(p).revision.size() + 1), v);
}

constexpr StandardCode kStandard[] = {
    {M_MK_NBR_ADDR_SPACE, [](Path &p, int32_t *v) { return value_of(static_cast<int32_t>(spec(p).spaces.size()), v); }, nullptr},
    {M_MK_CH_CURRENT, [](Path &p, int32_t *v) { return value_of(p.channel, v); }, set_channel},
    {M_MK_IO_MODE, [](Path &p, int32_t *v) { return value_of(p.ioMode, v); },
     [](Path &p, int32_t v) { p.ioMode = v; return ERR_SUCCESS; }},
    {M_MK_IRQ_ENABLE, [](Path &p, int32_t *v) { return value_of(p.device->irq_enabled(), v); },
     [](Path &p, int32_t v) { p.device->irq_enabled() = v; return ERR_SUCCESS; }},
    {M_MK_IRQ_COUNT, [](Path &p, int32_t *v) { return value_of(spec(p).irq.kernelCount, v); }, nullptr},
    {M_MK_DEBUG_LEVEL, [](Path &p, int32_t *v) { return value_of(static_cast<int32_t>(p.device->debug().kernel), v); },
     [](Path &p, int32_t v) { return set_level(p.device->debug().kernel, v); }},
    {M_MK_API_DEBUG_LEVEL, [](Path &p, int32_t *v) { return value_of(static_cast<int32_t>(p.device->debug().api), v); },
     [](Path &p, int32_t v) { return set_level(p.device->debug().api, v); }},
    {M_MK_OSS_DEBUG_LEVEL, [](Path &p, int32_t *v) { return value_of(static_cast<int32_t>(p.device->debug().oss), v); },
     [](Path &p, int32_t v) { return set_level(p.device->debug().oss, v); }},
    {M_MK_LOCKMODE, [](Path &p, int32_t *v) { return value_of(spec(p).lockMode, v); }, nullptr},
    {M_MK_PATHCNT, [](Path &p, int32_t *v) { return value_of(p.device->path_count(), v); }, nullptr},
    {M_MK_DEV_SLOT, [](Path &p, int32_t *v) { return value_of(spec(p).slot, v); }, nullptr},
    {M_MK_DEV_ADDRMODE, [](Path &p, int32_t *v) { return value_of(spec(p).addrMode, v); }, nullptr},
    {M_MK_DEV_DATAMODE, [](Path &p, int32_t *v) { return value_of(spec(p).dataMode, v); }, nullptr},
    {M_MK_BUSTYPE, [](Path &p, int32_t *v) { return value_of(spec(p).busType, v); }, nullptr},
    {M_MK_IRQ_INFO, [](Path &p, int32_t *v) { return value_of(spec(p).irq.info, v); }, nullptr},
    {M_MK_IRQ_MODE, [](Path &p, int32_t *v) { return value_of(spec(p).irq.mode, v); }, nullptr},
    {M_MK_IRQ_INSTALLED, [](Path &p, int32_t *v) { return value_of(spec(p).irq.installed, v); }, nullptr},
    {M_MK_TICKRATE, [](Path &p, int32_t *v) { return value_of(spec(p).tickRate, v); }, nullptr},
    {M_MK_REV_SIZE, rev_size, nullptr},
};

/* Address-space record: space index (written by the caller), address, size. */
struct AddressRecord {
    int32_t space;
    uint32_t address;
    uint32_t size;
};

Status address_record(Path &p, M_SG_BLOCK *block, bool physical)
{
    AddressRecord record{};
    if (block->size < static_cast<int32_t>(sizeof record)) {
        return ERR_MK_BLK_SIZE;
    }
    std::memcpy(&record, block->data, sizeof record);
    const auto &spaces = spec(p).spaces;
    if (record.space < 0 || static_cast<std::size_t>(record.space) >= spaces.size()) {
        return ERR_MK_ILL_PARAM;
    }
    const AddressSpace &space = spaces[static_cast<std::size_t>(record.space)];
    record.address = physical ? space.physical : space.virtualAddr;
    record.size = space.size;
    deliver_bytes(block, &record, sizeof record);
    return ERR_SUCCESS;
}

Status text(M_SG_BLOCK *block, const std::string &value)
{
    deliver_text(block, value);
    return ERR_SUCCESS;
}

constexpr BlockCode kBlock[] = {
    {M_MK_BLK_PHYSADDR, [](Path &p, M_SG_BLOCK *b) { return address_record(p, b, true); }, nullptr},
    {M_MK_BLK_VIRTADDR, [](Path &p, M_SG_BLOCK *b) { return address_record(p, b, false); }, nullptr},
    {M_MK_BLK_BB_HANDLER, [](Path &p, M_SG_BLOCK *b) { return text(b, spec(p).boardDriverName); }, nullptr},
    {M_MK_BLK_BRD_NAME, [](Path &p, M_SG_BLOCK *b) { return text(b, spec(p).boardName); }, nullptr},
    {M_MK_BLK_LL_HANDLER, [](Path &p, M_SG_BLOCK *b) { return text(b, spec(p).driverName); }, nullptr},
    {M_MK_BLK_DEV_NAME, [](Path &p, M_SG_BLOCK *b) { return text(b, spec(p).name); }, nullptr},
    {M_MK_BLK_REV_ID, [](Path &p, M_SG_BLOCK *b) { return text(b, spec(p).revision); }, nullptr},
    {M_MK_BLK_HW_NAME, [](Path &p, M_SG_BLOCK *b) { return text(b, spec(p).hardwareName); }, nullptr},
};

} // namespace

const CodeLayer &kernel_codes()
{
    static const CodeLayer layer{kStandard, kBlock, ERR_MK_UNK_CODE};
    return layer;
}

} // namespace sim
