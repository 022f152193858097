// traxnt with devices shared between processes, on a device of a definition file whose
// name is unique to the run, so that no test running beside it shares the device.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "run_prog.h"

namespace {

// Runs traxnt with shared devices on a definition file that defines the device `name`.
ProgResult RunShared(const std::string &name, const std::string &input) {
    char folder[] = "/tmp/traxnt_shared_XXXXXX";
    EXPECT_NE(mkdtemp(folder), nullptr);
    const std::string file = std::string(folder) + "/devices.yaml";
    std::ofstream(file) << "devices:\n  - name: " << name << "\n    model: binary_io\n";
    chmod(file.c_str(), 0600);
    setenv("TRAX_DEVICES", file.c_str(), 1);
    setenv("TRAX_SIM_SHARING", "user", 1);
    const ProgResult result = RunTraxnt(input);
    setenv("TRAX_SIM_SHARING", "process", 1);
    unsetenv("TRAX_DEVICES");
    unlink(file.c_str());
    rmdir(folder);
    return result;
}

std::string UniqueDeviceName() {
    return "shared_session_" + std::to_string(getpid());
}

// The console token is handle 1; the device's shared state and lock take no path numbers.
TEST(SharedSession, PathNumbersAreThoseOfPrivateDevices) {
    const std::string name = UniqueDeviceName();
    const ProgResult result = RunShared(name, "mo " + name + "\nmo " + name + "\nmc\nmc\n");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(1u, CountOf(result.out, " device name ->  status = 0x2\n"));
    EXPECT_EQ(1u, CountOf(result.out, " device name ->  status = 0x3\n"));
    EXPECT_EQ(1u, CountOf(result.out, "Dev:" + name + " (path:0x3) ==> cmd:"));
}

// The last user ends at the end of its input with paths open: nothing stays in /dev/shm.
TEST(SharedSession, TheEndOfInputLeavesNoStateBehind) {
    const std::string name = UniqueDeviceName() + "_eof";
    const ProgResult result = RunShared(name, "mo " + name + "\nmo " + name + "\n");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(1u, CountOf(result.out, " device name ->  status = 0x3\n")) << "both paths opened";
    const std::string suffix = "-trax-sim-" + name;
    for (const auto &entry : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string file = entry.path().filename().string();
        EXPECT_FALSE(file.size() > suffix.size() && file.ends_with(suffix)) << file << " stayed";
    }
}

} // namespace
