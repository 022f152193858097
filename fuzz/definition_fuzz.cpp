// libFuzzer target for the device definition reader: any input must be read without a
// crash, a hang or unbounded memory, and whatever it accepts must write back out to a
// definition that reads back to the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "sim_definition.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const sim::Definitions definitions = sim::parse_definitions(text, "fuzz.yaml");
    for (const sim::DeviceSpec &spec : definitions.devices) {
        const std::string dumped = sim::dump_definition(spec);
        const sim::Definitions again = sim::parse_definitions(dumped, "dump.yaml");
        if (again.devices.size() != 1 || sim::dump_definition(again.devices[0]) != dumped) {
            std::fprintf(stderr, "definition does not read back:\n%s\n", dumped.c_str());
            for (const std::string &problem : again.problems) {
                std::fprintf(stderr, "%s\n", problem.c_str());
            }
            std::abort();
        }
    }
    return 0;
}
