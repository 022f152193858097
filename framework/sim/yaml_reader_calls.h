// The entry point of the YAML reader library: the part of the definition reader that needs
// yaml-cpp (YAML text to YamlDocument table). Nothing links that library: velk_trax_api loads
// it from its own folder at the first parse, so that programs which never read a definition
// do not pay for loading yaml-cpp. The library is built with velk_trax_api from the same
// sources and loaded by its exact file name, so its entry point takes the library's own
// table; no exception crosses it.
#ifndef TRAX_SIM_YAML_READER_CALLS_H
#define TRAX_SIM_YAML_READER_CALLS_H

#include <cstddef>
#include <string>

#include "yaml_document.h"

extern "C" {

/// What the entry point of the YAML reader library returns.
enum TraxYamlResult { TRAX_YAML_DONE = 0, TRAX_YAML_INVALID = 1, TRAX_YAML_NO_MEMORY = 2 };

/// Why a text is no valid YAML: the place (counted from 0; -1 for the whole text) and the
/// message, cut to fit and always terminated.
struct TraxYamlProblem {
    int pos;
    int line;
    int column;
    char message[256];
};

/// Fills the empty document with the first document of text (size bytes). TRAX_YAML_INVALID
/// fills problem; the document then holds a part of the text only.
typedef int (*TraxYamlReadCall)(const char *text, size_t size, sim::YamlDocument *document,
                                TraxYamlProblem *problem);
}

/// The name under which the library exports its entry point.
#define TRAX_YAML_READ_NAME "TraxYaml_Read"

namespace sim {

/// The entry point of the YAML reader library, or none (null) with the reason.
struct YamlReaderLibrary {
    TraxYamlReadCall read = nullptr;
    std::string problem;
};

/// Loads the YAML reader library from the folder of the suite's libraries at the first call;
/// every later call answers the same.
const YamlReaderLibrary &yaml_reader_library();

} // namespace sim

#endif
