// traxnt with devices shared between processes, on a device of a definition file whose
// name is unique to the run, so that no test running beside it shares the device.
#include <unistd.h>

#include <filesystem>
#include <string>

#include "run_prog.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

// The environment of a traxnt with shared devices on a definition file in folder that
// defines the device `name`.
std::vector<std::string> SharedEnvironment(const TempFolder &folder, const std::string &name) {
    const std::string file =
        folder.write("devices.yaml", "devices:\n  - name: " + name + "\n    model: binary_io\n");
    return {"TRAX_DEVICES=" + file, "TRAX_SIM_SHARING=user"};
}

ProgResult RunShared(const std::string &name, const std::string &input) {
    const TempFolder folder;
    return RunTraxnt(input, SharedEnvironment(folder, name));
}

std::string UniqueDeviceName() {
    return "shared_session_" + std::to_string(getpid());
}

using trax_test::ChildProcess;

// A traxnt that opened the device and asked for its semaphore, waiting as long as it takes.
class SemaphoreUser {
  public:
    SemaphoreUser(const std::vector<std::string> &environment, const std::string &name)
        : traxnt_(BinPath("traxnt"), {}, environment) {
        traxnt_.write("mo " + name + "\ndsemw\n-1\n", ChildProcess::after(kWaitMs));
    }
    // True once the program took the semaphore and prompts for the next command: its third
    // prompt, after those at the start and after the open.
    bool holds(int ms) {
        return traxnt_.readUntil([](const std::string &out) { return CountOf(out, kPrompt) >= 3; },
                                 ChildProcess::after(ms));
    }
    void release() { traxnt_.write("dsemr\n", ChildProcess::after(kWaitMs)); }
    void kill() { traxnt_.kill(); }

  private:
    static constexpr int kWaitMs = 10000;
    static constexpr const char *kPrompt = "==> cmd:";
    ChildProcess traxnt_;
};

// The semaphore of a shared device passes from process to process: to a waiter when its
// holder releases it, and when its holder is killed.
TEST(SharedSession, TheDeviceSemaphorePassesBetweenProcesses) {
    const std::string name = UniqueDeviceName() + "_sem";
    const TempFolder folder;
    const std::vector<std::string> environment = SharedEnvironment(folder, name);
    SemaphoreUser first(environment, name);
    ASSERT_TRUE(first.holds(10000));
    SemaphoreUser second(environment, name);
    EXPECT_FALSE(second.holds(300)) << "the semaphore is taken";
    first.release();
    EXPECT_TRUE(second.holds(10000)) << "released by its holder";
    SemaphoreUser third(environment, name);
    EXPECT_FALSE(third.holds(300)) << "the semaphore is taken";
    second.kill();
    EXPECT_TRUE(third.holds(10000)) << "its holder was killed";
}

// Whether the shared state of the device `name` or its lock still exists.
bool StateStays(const std::string &name) {
    const std::string state = "trax-sim-" + name;
    const std::string lock = state + ".lock";
#if defined(_WIN32)
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, state.c_str());
    HANDLE mutex = OpenMutexA(SYNCHRONIZE, FALSE, lock.c_str());
    for (HANDLE handle : {mapping, mutex}) {
        if (handle != nullptr) {
            CloseHandle(handle);
        }
    }
    return mapping != nullptr || mutex != nullptr;
#else
    for (const auto &entry : std::filesystem::directory_iterator("/dev/shm")) {
        const std::string file = entry.path().filename().string();
        if (file.ends_with("-" + state) || file.ends_with("-" + lock)) {
            return true;
        }
    }
    return false;
#endif
}

// The console token is handle 1; the device's shared state and lock take no path numbers.
TEST(SharedSession, PathNumbersAreThoseOfPrivateDevices) {
#if defined(_WIN32)
    GTEST_SKIP() << "path numbers are the system's handle values on Windows";
#endif
    const std::string name = UniqueDeviceName();
    const ProgResult result = RunShared(name, "mo " + name + "\nmo " + name + "\nmc\nmc\n");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(1u, CountOf(result.out, " device name ->  status = 0x2\n"));
    EXPECT_EQ(1u, CountOf(result.out, " device name ->  status = 0x3\n"));
    EXPECT_EQ(1u, CountOf(result.out, "Dev:" + name + " (path:0x3) ==> cmd:"));
}

// The last user ends at the end of its input with paths open: the shared state goes with it
// (no file stays in /dev/shm).
TEST(SharedSession, TheEndOfInputLeavesNoStateBehind) {
    const std::string name = UniqueDeviceName() + "_eof";
    const ProgResult result = RunShared(name, "mo " + name + "\nmo " + name + "\n");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(2u, CountOf(result.out, " device name ->  status = 0x"));
    EXPECT_EQ(0u, CountOf(result.out, " status = 0xffffffff\n")) << "both paths opened";
    EXPECT_FALSE(StateStays(name));
}

} // namespace
