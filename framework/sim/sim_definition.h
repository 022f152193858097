// Device definitions in YAML files: reading them into catalogue descriptions, writing a
// description back out, and finding the files a process reads.
#ifndef TRAX_SIM_DEFINITION_H
#define TRAX_SIM_DEFINITION_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim_catalogue.h"

namespace sim {

/// What one definition text or file yielded. A text with any problem yields no device:
/// problems then holds one "FILE:LINE:COLUMN: message" line for each problem found.
struct Definitions {
    std::vector<DeviceSpec> devices;
    std::vector<std::string> problems;
};

/// Reads the devices of a definition text; fileName is used in the problem lines.
Definitions parse_definitions(std::string_view text, const std::string &fileName);

/// Reads the devices of the text of the definition file at path as parse_definitions does,
/// with the text's YAML document from the parse cache when it holds one for this text.
Definitions parse_definition_file(std::string_view text, const std::string &path);

/// Reads a definition file: a regular file of at most kMaxDefinitionFileBytes, owned by
/// the user or root and writable by no one else.
Definitions read_definition_file(const std::string &path);

/// The definition files a process reads after the built-in ones, in order: *.yaml of
/// /etc/trax/devices.d, then of $XDG_CONFIG_HOME/trax/devices.d (~/.config/... when
/// unset), then each file or folder named in TRAX_DEVICES (':'-separated). A missing
/// standard folder is skipped; a missing entry of TRAX_DEVICES is kept, so that reading
/// it reports the problem. systemFolder replaces /etc/trax/devices.d (for tests).
std::vector<std::string>
definition_sources(const std::string &systemFolder = "/etc/trax/devices.d");

/// The full definition of one device as a YAML file that reads back to the same device.
std::string dump_definition(const DeviceSpec &spec);

/// A stable hash of the definition's content: equal for equal definitions in every
/// process and on every machine.
uint64_t definition_hash(const DeviceSpec &spec);

/// The error number of a symbol of the error table (e.g. "ERR_LL_READ"); 0 if none.
Status error_by_symbol(std::string_view symbol);

} // namespace sim

#endif
