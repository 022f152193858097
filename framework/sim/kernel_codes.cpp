// Status codes answered by the kernel: path state, device and board figures, names,
// address spaces and the revision text.
#include <cstring>

#include "sim_block.h"
#include "sim_codes.h"

namespace sim {

namespace {

const DeviceSpec &spec(const Path &p) {
    return p.device->spec();
}

Status set_channel(Path &p, int32_t value) {
    if (value < 0 || value >= spec(p).channels.number) {
        return ERR_LL_ILL_CHAN;
    }
    p.set_channel(value);
    return ERR_SUCCESS;
}

Status rev_size(Path &p, int32_t *v) {
    return value_of(static_cast<int32_t>(spec(p).revision.size() + 1), v);
}

Status address_space_count(Path &p, int32_t *v) {
    return value_of(static_cast<int32_t>(spec(p).spaces.size()), v);
}

Status get_channel(Path &p, int32_t *v) {
    return value_of(p.channel, v);
}

Status get_io_mode(Path &p, int32_t *v) {
    return value_of(p.ioMode, v);
}

// Any non-zero mode advances the channel; the value is kept as set.
Status set_io_mode(Path &p, int32_t v) {
    p.set_io_mode(v);
    return ERR_SUCCESS;
}

Status get_irq_enable(Path &p, int32_t *v) {
    return value_of(p.device->irq_enabled(), v);
}

Status set_irq_enable(Path &p, int32_t v) {
    p.device->irq_enabled() = v;
    return ERR_SUCCESS;
}

Status path_count(Path &p, int32_t *v) {
    return value_of(p.device->path_count(), v);
}

constexpr StandardCode kStandard[] = {
    {M_MK_NBR_ADDR_SPACE, address_space_count, nullptr},
    {M_MK_CH_CURRENT, get_channel, set_channel},
    {M_MK_IO_MODE, get_io_mode, set_io_mode},
    {M_MK_IRQ_ENABLE, get_irq_enable, set_irq_enable},
    {M_MK_IRQ_COUNT, irq_figure<&IrqSpec::kernelCount>, nullptr},
    {M_MK_DEBUG_LEVEL, get_level<&DebugLevels::kernel>, set_level<&DebugLevels::kernel>},
    {M_MK_API_DEBUG_LEVEL, get_level<&DebugLevels::api>, set_level<&DebugLevels::api>},
    {M_MK_OSS_DEBUG_LEVEL, get_level<&DebugLevels::oss>, set_level<&DebugLevels::oss>},
    {M_MK_LOCKMODE, spec_figure<&DeviceSpec::lockMode>, nullptr},
    {M_MK_PATHCNT, path_count, nullptr},
    {M_MK_DEV_SLOT, spec_figure<&DeviceSpec::slot>, nullptr},
    {M_MK_DEV_ADDRMODE, spec_figure<&DeviceSpec::addrMode>, nullptr},
    {M_MK_DEV_DATAMODE, spec_figure<&DeviceSpec::dataMode>, nullptr},
    {M_MK_BUSTYPE, spec_figure<&DeviceSpec::busType>, nullptr},
    {M_MK_IRQ_INFO, irq_figure<&IrqSpec::info>, nullptr},
    {M_MK_IRQ_MODE, irq_figure<&IrqSpec::mode>, nullptr},
    {M_MK_IRQ_INSTALLED, irq_figure<&IrqSpec::installed>, nullptr},
    {M_MK_TICKRATE, spec_figure<&DeviceSpec::tickRate>, nullptr},
    {M_MK_REV_SIZE, rev_size, nullptr},
};

// Address-space record: space index (written by the caller), address, size.
struct AddressRecord {
    int32_t space;
    uint32_t address;
    uint32_t size;
};

Status address_record(Path &p, M_SG_BLOCK *block, bool physical) {
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

// A name or text of the catalogue entry, delivered as a zero-terminated text.
template <std::string DeviceSpec::*Text> Status spec_text(Path &p, M_SG_BLOCK *block) {
    deliver_text(block, spec(p).*Text);
    return ERR_SUCCESS;
}

Status physical_address(Path &p, M_SG_BLOCK *block) {
    return address_record(p, block, true);
}

Status virtual_address(Path &p, M_SG_BLOCK *block) {
    return address_record(p, block, false);
}

constexpr BlockCode kBlock[] = {
    {M_MK_BLK_PHYSADDR, physical_address, nullptr},
    {M_MK_BLK_VIRTADDR, virtual_address, nullptr},
    {M_MK_BLK_BB_HANDLER, spec_text<&DeviceSpec::boardDriverName>, nullptr},
    {M_MK_BLK_BRD_NAME, spec_text<&DeviceSpec::boardName>, nullptr},
    {M_MK_BLK_LL_HANDLER, spec_text<&DeviceSpec::driverName>, nullptr},
    {M_MK_BLK_DEV_NAME, spec_text<&DeviceSpec::name>, nullptr},
    {M_MK_BLK_REV_ID, spec_text<&DeviceSpec::revision>, nullptr},
    {M_MK_BLK_HW_NAME, spec_text<&DeviceSpec::hardwareName>, nullptr},
};

} // namespace

const CodeLayer &kernel_codes() {
    static const CodeLayer layer{kStandard, kBlock, ERR_MK_UNK_CODE};
    return layer;
}

} // namespace sim
