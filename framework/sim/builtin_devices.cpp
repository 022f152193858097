// The built-in devices: the definition files embedded in the library.
#include <cstdio>

#include "sim_definition.h"
#include "sim_embedded.h"

namespace sim {

std::vector<DeviceSpec> builtin_devices() {
    std::vector<DeviceSpec> devices;
    for (const EmbeddedFile &file : embedded_definitions()) {
        Definitions definitions =
            parse_definitions({file.text, file.size}, std::string("<built-in>/") + file.name);
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
