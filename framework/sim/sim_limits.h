// Caps on what a device definition may ask for. They bound the memory a device's state
// takes and the work that reading any definition file can cause.
#ifndef TRAX_SIM_LIMITS_H
#define TRAX_SIM_LIMITS_H

#include <cstddef>
#include <cstdint>

namespace sim {

constexpr int32_t kMaxChannels = 256;
constexpr uint32_t kMaxMemorySize = 65536;
constexpr std::size_t kMaxAddressSpaces = 16;
constexpr uint32_t kMaxIdPromBytes = 1024;
constexpr std::size_t kMaxTextLength = 1024; ///< purpose and revision text
constexpr std::size_t kMaxStatusCodes = 64;
constexpr uint32_t kMaxCodeBytes = 4096;  ///< contents or capacity of one block code
constexpr uint32_t kMaxAreaBytes = 16384; ///< all writable block codes of a device
constexpr std::size_t kMaxFaultRules = 32;
constexpr std::size_t kMaxCodesPerRule = 64;
constexpr int32_t kMaxDelayMs = 60000;

constexpr std::size_t kMaxDefinitionFileBytes = 1 << 20;
constexpr std::size_t kMaxDevicesPerFile = 1024;
constexpr std::size_t kMaxFilesPerFolder = 256;
constexpr std::size_t kMaxCatalogueDevices = 4096;

} // namespace sim

#endif
