/* Prints the device catalogue as a Markdown table, so that the documentation can show
 * exactly what the simulated framework offers. */
#include <cstdio>
#include <string>

#include "sim_catalogue.h"
#include "trax_codes.h"

namespace {

const char *bus_name(int32_t busType) {
    static const char *const names[] = {"none", "VME", "PCI", "ISA", "ISAPNP", "M-Module"};
    return busType >= 0 && busType < 6 ? names[busType] : "unknown";
}

const char *direction_name(int32_t direction) {
    static const char *const names[] = {"?", "in", "out", "in/out"};
    return direction >= 0 && direction < 4 ? names[direction] : "?";
}

std::string channels_text(const sim::ChannelSpec &c) {
    return std::to_string(c.number) + " x " + std::to_string(c.lengthBits) + " bit " +
           direction_name(c.direction);
}

std::string id_prom_text(const sim::DeviceSpec &d) {
    const auto bytes = [](uint32_t size) {
        return size == 0 ? std::string("none") : std::to_string(size) + " B";
    };
    return "device " + bytes(d.deviceIdProm.size) + ", board " + bytes(d.boardIdProm.size);
}

void print_row(const sim::DeviceSpec &d) {
    std::printf("| `%s` | %s (`%s`) | %s (%d) | `%s` | %s | %s | %s |\n", d.name.c_str(),
                d.boardName.c_str(), d.boardDriverName.c_str(), bus_name(d.busType), d.busType,
                d.driverName.c_str(), channels_text(d.channels).c_str(), id_prom_text(d).c_str(),
                d.purpose.c_str());
}

} // namespace

int main() {
    std::printf("| device | board (board driver) | bus | driver | channels | id-prom | what it is "
                "for |\n|---|---|---|---|---|---|---|\n");
    for (const std::string &name : sim::Catalogue::names()) {
        sim::DeviceSpec spec;
        if (sim::Catalogue::describe(name, spec)) {
            print_row(spec);
        }
    }
    return 0;
}
