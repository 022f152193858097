// Definition files built into the library, so that the built-in devices need no file on
// disk. The build generates the table from framework/sim/devices/.
#ifndef TRAX_SIM_EMBEDDED_H
#define TRAX_SIM_EMBEDDED_H

#include <cstddef>
#include <span>

namespace sim {

struct EmbeddedFile {
    const char *name;
    const char *text;
    std::size_t size;
};

std::span<const EmbeddedFile> embedded_definitions();

} // namespace sim

#endif
