// The built-in devices: the definition files embedded in the library, read like the user's
// files, through the parse cache: a process whose cache holds them does not load the YAML
// reader library to open a built-in device.
#include <cstdio>

#include "sim_definition.h"
#include "sim_embedded.h"

namespace sim {

std::vector<DeviceSpec> builtin_devices() {
    std::vector<DeviceSpec> devices;
    for (const EmbeddedFile &file : embedded_definitions()) {
        Definitions definitions =
            parse_definition_file({file.text, file.size}, std::string("<built-in>/") + file.name);
        for (const std::string &problem : definitions.problems) {
            std::fprintf(stderr, "%s\n", problem.c_str());
        }
        for (DeviceSpec &spec : definitions.devices) {
            devices.push_back(std::move(spec));
        }
    }
    return devices;
}

} // namespace sim
