// The device that the tests and benchmarks of shared devices use: an MT-model device with
// 32-bit registers and a block memory, under a name the caller makes unique.
#ifndef TRAX_TESTS_SUPPORT_SIM_USER_H
#define TRAX_TESTS_SUPPORT_SIM_USER_H

#include <string>

#include "sim_catalogue.h"

/// Adds the device of that name to this process's catalogue; `variant` gives it another
/// description (a larger block memory) under the same name.
inline void AddSharedTestDevice(const std::string &name, bool variant = false) {
    sim::DeviceSpec spec;
    spec.name = name;
    spec.hardwareName = "SIM-SHARED";
    spec.driverName = "sim_mt_ll";
    spec.boardName = "SIM_SW_BOARD";
    spec.boardDriverName = "sim_bb_sw";
    spec.revision = "shared test device\n";
    spec.model = sim::DriverModel::MtTest;
    spec.channels.number = 4;
    spec.memorySize = variant ? 512 : 256;
    sim::Catalogue::add(spec);
}

#endif
