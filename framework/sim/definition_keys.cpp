// The key tables of device definition files.
#include "definition_keys.h"

#include "sim_limits.h"
#include "trax_codes.h"

namespace sim::keys {

namespace {

constexpr int64_t kInt32Min = INT32_MIN;
constexpr int64_t kInt32Max = INT32_MAX;
constexpr int64_t kUint32Max = UINT32_MAX;

// A table row for the number field S::member.
#define TRAX_NUMBER(S, key, member, min, max, hex, symbols)                                        \
    NumberKey<S> {                                                                                 \
        key, [](const S &s) -> int64_t { return s.member; },                                       \
            [](S &s, int64_t v) { s.member = static_cast<decltype(s.member)>(v); }, min, max, hex, \
            symbols                                                                                \
    }

constexpr Symbol kBuses[] = {{"none", OSS_BUSTYPE_NONE},     {"vme", OSS_BUSTYPE_VME},
                             {"pci", OSS_BUSTYPE_PCI},       {"isa", OSS_BUSTYPE_ISA},
                             {"isapnp", OSS_BUSTYPE_ISAPNP}, {"mmodule", OSS_BUSTYPE_MMODULE}};
constexpr Symbol kLockModes[] = {
    {"none", LL_LOCK_NONE}, {"call", LL_LOCK_CALL}, {"chan", LL_LOCK_CHAN}};
constexpr Symbol kDirections[] = {{"in", M_CH_IN}, {"out", M_CH_OUT}, {"inout", M_CH_INOUT}};
constexpr Symbol kTypes[] = {{"unknown", M_CH_UNKNOWN},
                             {"binary", M_CH_BINARY},
                             {"analog", M_CH_ANALOG},
                             {"serial", M_CH_SERIAL},
                             {"counter", M_CH_COUNTER}};
constexpr Symbol kModels[] = {{"binary_io", static_cast<int64_t>(DriverModel::BinaryIo)},
                              {"analog_in", static_cast<int64_t>(DriverModel::AnalogIn)},
                              {"mt_test", static_cast<int64_t>(DriverModel::MtTest)}};
constexpr Symbol kCalls[] = {{"open", static_cast<int64_t>(DeviceCall::Open)},
                             {"close", static_cast<int64_t>(DeviceCall::Close)},
                             {"read", static_cast<int64_t>(DeviceCall::Read)},
                             {"write", static_cast<int64_t>(DeviceCall::Write)},
                             {"getstat", static_cast<int64_t>(DeviceCall::GetStat)},
                             {"setstat", static_cast<int64_t>(DeviceCall::SetStat)},
                             {"getblock", static_cast<int64_t>(DeviceCall::GetBlock)},
                             {"setblock", static_cast<int64_t>(DeviceCall::SetBlock)},
                             {"ioctl", static_cast<int64_t>(DeviceCall::Ioctl)}};
constexpr std::span<const Symbol> kNoSymbols;

const TextKey kTexts[] = {
    {"purpose", &DeviceSpec::purpose, kMaxTextLength},
    {"hardware", &DeviceSpec::hardwareName, kMaxNameLength},
    {"driver", &DeviceSpec::driverName, kMaxNameLength},
    {"board", &DeviceSpec::boardName, kMaxNameLength},
    {"board_driver", &DeviceSpec::boardDriverName, kMaxNameLength},
    {"revision", &DeviceSpec::revision, kMaxTextLength},
};

const NumberKey<DeviceSpec> kDevice[] = {
    TRAX_NUMBER(DeviceSpec, "bus", busType, 0, 255, false, kBuses),
    TRAX_NUMBER(DeviceSpec, "slot", slot, kInt32Min, kInt32Max, false, kNoSymbols),
    TRAX_NUMBER(DeviceSpec, "address_mode", addrMode, 0, kInt32Max, true, kNoSymbols),
    TRAX_NUMBER(DeviceSpec, "data_mode", dataMode, 0, kInt32Max, true, kNoSymbols),
    TRAX_NUMBER(DeviceSpec, "lock_mode", lockMode, 0, 255, false, kLockModes),
    TRAX_NUMBER(DeviceSpec, "tick_rate", tickRate, 0, 1000000, false, kNoSymbols),
    TRAX_NUMBER(DeviceSpec, "driver_id_check", driverIdCheck, kInt32Min, kInt32Max, false,
                kNoSymbols),
    TRAX_NUMBER(DeviceSpec, "board_id_check", boardIdCheck, kInt32Min, kInt32Max, false,
                kNoSymbols),
    TRAX_NUMBER(DeviceSpec, "memory_size", memorySize, 0, kMaxMemorySize, false, kNoSymbols),
};

const NumberKey<ChannelSpec> kChannels[] = {
    TRAX_NUMBER(ChannelSpec, "count", number, 1, kMaxChannels, false, kNoSymbols),
    TRAX_NUMBER(ChannelSpec, "direction", direction, kInt32Min, kInt32Max, false, kDirections),
    TRAX_NUMBER(ChannelSpec, "bits", lengthBits, 1, 32, false, kNoSymbols),
    TRAX_NUMBER(ChannelSpec, "type", type, kInt32Min, kInt32Max, false, kTypes),
};

const NumberKey<IrqSpec> kIrq[] = {
    TRAX_NUMBER(IrqSpec, "installed", installed, kInt32Min, kInt32Max, false, kNoSymbols),
    TRAX_NUMBER(IrqSpec, "enabled", enabled, kInt32Min, kInt32Max, false, kNoSymbols),
    TRAX_NUMBER(IrqSpec, "kernel_count", kernelCount, kInt32Min, kInt32Max, false, kNoSymbols),
    TRAX_NUMBER(IrqSpec, "driver_count", driverCount, kInt32Min, kInt32Max, false, kNoSymbols),
    TRAX_NUMBER(IrqSpec, "vector", vector, kInt32Min, kInt32Max, true, kNoSymbols),
    TRAX_NUMBER(IrqSpec, "level", level, kInt32Min, kInt32Max, false, kNoSymbols),
    TRAX_NUMBER(IrqSpec, "priority", priority, kInt32Min, kInt32Max, false, kNoSymbols),
    TRAX_NUMBER(IrqSpec, "exception_count", exceptionCount, kInt32Min, kInt32Max, false,
                kNoSymbols),
    TRAX_NUMBER(IrqSpec, "info", info, 0, kInt32Max, true, kNoSymbols),
    TRAX_NUMBER(IrqSpec, "mode", mode, 0, kInt32Max, true, kNoSymbols),
};

const NumberKey<AddressSpace> kSpace[] = {
    TRAX_NUMBER(AddressSpace, "physical", physical, 0, kUint32Max, true, kNoSymbols),
    TRAX_NUMBER(AddressSpace, "virtual", virtualAddr, 0, kUint32Max, true, kNoSymbols),
    TRAX_NUMBER(AddressSpace, "size", size, 0, kUint32Max, true, kNoSymbols),
};

const NumberKey<IdPromSpec> kIdProm[] = {
    TRAX_NUMBER(IdPromSpec, "size", size, 0, kMaxIdPromBytes, false, kNoSymbols),
    TRAX_NUMBER(IdPromSpec, "magic", magic, 0, 0xFFFF, true, kNoSymbols),
    TRAX_NUMBER(IdPromSpec, "id", id, 0, 0xFFFF, true, kNoSymbols),
    TRAX_NUMBER(IdPromSpec, "revision", revision, 0, 0xFFFF, true, kNoSymbols),
    TRAX_NUMBER(IdPromSpec, "serial", serial, 0, kUint32Max, false, kNoSymbols),
};

#undef TRAX_NUMBER

} // namespace

std::span<const TextKey> device_texts() {
    return kTexts;
}
std::span<const NumberKey<DeviceSpec>> device_numbers() {
    return kDevice;
}
std::span<const NumberKey<ChannelSpec>> channel_numbers() {
    return kChannels;
}
std::span<const NumberKey<IrqSpec>> irq_numbers() {
    return kIrq;
}
std::span<const NumberKey<AddressSpace>> space_numbers() {
    return kSpace;
}
std::span<const NumberKey<IdPromSpec>> id_prom_numbers() {
    return kIdProm;
}
std::span<const Symbol> models() {
    return kModels;
}
std::span<const Symbol> calls() {
    return kCalls;
}

std::span<const int32_t> model_codes(DriverModel model) {
    static constexpr int32_t kMtCodes[] = {MT_ALARM_CLR, MT_BLK_ALARM_SET};
    return model == DriverModel::MtTest ? std::span<const int32_t>(kMtCodes)
                                        : std::span<const int32_t>();
}

const char *name_of(std::span<const Symbol> symbols, int64_t value) {
    for (const Symbol &symbol : symbols) {
        if (symbol.value == value) {
            return symbol.name;
        }
    }
    return nullptr;
}

} // namespace sim::keys
