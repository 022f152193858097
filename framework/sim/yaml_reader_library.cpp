// Finding and loading the YAML reader library once per process.
#include "sim_module.h"
#include "yaml_reader_calls.h"

namespace sim {

namespace {

template <class Call> Call entry(void *handle, const char *name) {
    return reinterpret_cast<Call>(module_entry(handle, name));
}

YamlReaderLibrary load_yaml_reader() {
    const std::string folder = library_folder();
    if (folder.empty()) {
        return {nullptr, nullptr, "the folder of " TRAX_YAML_READER_FILE " is unknown"};
    }
    const std::string path = folder + "/" TRAX_YAML_READER_FILE;
    const LoadedModule module = load_module(path);
    if (module.handle == nullptr) {
        return {nullptr, nullptr, module.error};
    }
    const auto read = entry<TraxYamlReadCall>(module.handle, TRAX_YAML_READ_NAME);
    const auto write = entry<TraxYamlWriteCall>(module.handle, TRAX_YAML_WRITE_NAME);
    if (read == nullptr || write == nullptr) {
        return {nullptr, nullptr, path + ": not a YAML reader library"};
    }
    return {read, write, {}};
}

} // namespace

const YamlReaderLibrary &yaml_reader_library() {
    static const YamlReaderLibrary library = load_yaml_reader();
    return library;
}

} // namespace sim
