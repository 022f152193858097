// What the YAML reader library's entry point calls; it throws yaml-cpp's exceptions and
// std::bad_alloc, which the entry point turns into results.
#ifndef TRAX_YAML_READER_PARTS_H
#define TRAX_YAML_READER_PARTS_H

#include <string>
#include <string_view>

#include "yaml_document.h"

namespace sim {

/// Fills the empty document with the first document of text.
void build_document(std::string_view text, YamlDocument &document);

} // namespace sim

#endif
