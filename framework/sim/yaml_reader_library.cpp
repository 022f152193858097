// Finding and loading the YAML reader library once per process.
#include "sim_module.h"
#include "yaml_reader_calls.h"

namespace sim {

namespace {

YamlReaderLibrary load_yaml_reader() {
    const std::string folder = library_folder();
    if (folder.empty()) {
        return {nullptr, "the folder of " TRAX_YAML_READER_FILE " is unknown"};
    }
    const std::string path = folder + "/" TRAX_YAML_READER_FILE;
    const LoadedModule module = load_module(path);
    if (module.handle == nullptr) {
        return {nullptr, module.error};
    }
    const auto read =
        reinterpret_cast<TraxYamlReadCall>(module_entry(module.handle, TRAX_YAML_READ_NAME));
    if (read == nullptr) {
        return {nullptr, path + ": not a YAML reader library"};
    }
    return {read, {}};
}

} // namespace

const YamlReaderLibrary &yaml_reader_library() {
    static const YamlReaderLibrary library = load_yaml_reader();
    return library;
}

} // namespace sim
