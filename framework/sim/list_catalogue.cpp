// Prints the device catalogue as a Markdown table, so that the documentation can show
// exactly what the simulated framework offers; prints one device's full definition as a
// starting point for one's own; checks definition files.
#include <cstdio>
#include <cstring>
#include <string>

#include "sim_catalogue.h"
#include "sim_definition.h"
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

int print_table() {
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

int dump(const char *name) {
    sim::DeviceSpec spec;
    if (!sim::Catalogue::describe(name, spec)) {
        std::fprintf(stderr, "trax_catalogue: no device named '%s'\n", name);
        return 1;
    }
    std::fputs(sim::dump_definition(spec).c_str(), stdout);
    return 0;
}

// Each file's problems go to standard error; a file without any is named on standard
// output with its device count.
int check(int count, char **files) {
    int status = 0;
    for (int i = 0; i < count; ++i) {
        const sim::Definitions definitions = sim::read_definition_file(files[i]);
        for (const std::string &problem : definitions.problems) {
            std::fprintf(stderr, "%s\n", problem.c_str());
        }
        if (definitions.problems.empty()) {
            std::printf("%s: %zu device%s\n", files[i], definitions.devices.size(),
                        definitions.devices.size() == 1 ? "" : "s");
        } else {
            status = 1;
        }
    }
    return status;
}

int usage() {
    std::fprintf(stderr, "usage: trax_catalogue                 print the device table\n"
                         "       trax_catalogue --dump NAME     print a device's definition\n"
                         "       trax_catalogue --check FILE... check definition files\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 1) {
        return print_table();
    }
    if (argc == 3 && std::strcmp(argv[1], "--dump") == 0) {
        return dump(argv[2]);
    }
    if (argc >= 3 && std::strcmp(argv[1], "--check") == 0) {
        return check(argc - 2, argv + 2);
    }
    return usage();
}
