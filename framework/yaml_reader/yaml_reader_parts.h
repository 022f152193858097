// What the YAML reader library's entry points call; both throw yaml-cpp's exceptions and
// std::bad_alloc, which the entry points turn into results.
#ifndef TRAX_YAML_READER_PARTS_H
#define TRAX_YAML_READER_PARTS_H

#include <string>
#include <string_view>

#include "sim_catalogue.h"
#include "yaml_document.h"

namespace sim {

/// Fills the empty document with the first document of text.
void build_document(std::string_view text, YamlDocument &document);

/// The definition file of one device.
std::string write_definition(const DeviceSpec &spec);

} // namespace sim

#endif
