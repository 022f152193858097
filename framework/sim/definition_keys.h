// The keys of a device definition file and where each lands in a DeviceSpec: one table
// that the reader, the writer and the documentation follow.
#ifndef TRAX_SIM_DEFINITION_KEYS_H
#define TRAX_SIM_DEFINITION_KEYS_H

#include <cstdint>
#include <span>
#include <string>

#include "sim_catalogue.h"

namespace sim::keys {

/// A name that a number field also accepts, and writes, in place of its number.
struct Symbol {
    const char *name;
    int64_t value;
};

/// A number field of S: its key, its range, how it is written, and its names.
template <class S> struct NumberKey {
    const char *key;
    int64_t (*get)(const S &s);
    void (*set)(S &s, int64_t value);
    int64_t min;
    int64_t max;
    bool hex;
    std::span<const Symbol> symbols;
};

/// A text field of the device.
struct TextKey {
    const char *key;
    std::string DeviceSpec::*field;
    std::size_t maxLength;
};

std::span<const TextKey> device_texts();
std::span<const NumberKey<DeviceSpec>> device_numbers();
std::span<const NumberKey<ChannelSpec>> channel_numbers();
std::span<const NumberKey<IrqSpec>> irq_numbers();
std::span<const NumberKey<AddressSpace>> space_numbers();
std::span<const NumberKey<IdPromSpec>> id_prom_numbers();

std::span<const Symbol> models();
std::span<const Symbol> calls();

/// The codes a model answers itself in the device-specific ranges; a definition's own
/// table must not take them.
std::span<const int32_t> model_codes(DriverModel model);

/// The name of value among symbols, or null.
const char *name_of(std::span<const Symbol> symbols, int64_t value);

} // namespace sim::keys

#endif
