// A device description written out as a definition file (by the YAML reader library), and
// the definition's hash.
#include <new>

#include "sim_definition.h"
#include "sim_hash.h"
#include "yaml_reader_calls.h"

namespace sim {

std::string dump_definition(const DeviceSpec &spec) {
    std::string text;
    const YamlReaderLibrary &library = yaml_reader_library();
    if (library.write != nullptr && library.write(&spec, &text) == TRAX_YAML_NO_MEMORY) {
        throw std::bad_alloc();
    }
    return text;
}

uint64_t definition_hash(const DeviceSpec &spec) {
    return fnv1a(dump_definition(spec));
}

} // namespace sim
