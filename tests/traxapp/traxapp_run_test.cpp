// traxapp run as a user runs it: command line in, standard output and exit status out,
// on the catalogue devices of the simulated framework.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_program.h"

namespace {

const std::string kTraxapp = TRAX_BIN_DIR "/traxapp";

const std::string kUsage =
    "Syntax: traxapp <device>\n"
    "Function: Example application for TRAX4\n"
    "          The application uses the following VELK libraries:\n"
    "            - TRAX-API : User Interface Library for TRAX4 drivers\n"
    "            - USR-OSS  : Operating System Services for application programs\n"
    "            - USR-UTL  : Utility Functions for applications\n"
    "          The application performs the following steps\n"
    "            - open path to device\n"
    "            - get number of channels\n"
    "            - get id-prom data (if exist)\n"
    "            - close path to device\n"
    "Options:\n"
    "    device       device name\n"
    "\n";

const std::string kUnknownDevice = "ERR_MK_NO_DEVICE: unknown device name";
const std::string kDeviceFault = "ERR_LL_DEV_FAULT: simulated device fault";

/// Runs traxapp and checks its whole output and its exit status.
void ExpectRun(const std::vector<std::string> &args, const std::string &output, int status) {
    const ProgramRun run = RunProgram(kTraxapp, args);
    ASSERT_FALSE(run.timedOut) << "traxapp did not end";
    EXPECT_EQ(run.output, output);
    EXPECT_EQ(run.exitStatus, status);
}

std::string OpenFails(const std::string &text) {
    return "*** can't open: " + text + "\n";
}

// --- Usage ---

TEST(TraxappUsage, NoArgumentPrintsTheUsage) {
    ExpectRun({}, kUsage, 1);
}

TEST(TraxappUsage, QuestionOptionPrintsTheUsageWhateverFollows) {
    ExpectRun({"-?"}, kUsage, 1);
    ExpectRun({"-?", "sim_mt_1"}, kUsage, 1);
}

TEST(TraxappUsage, ArgumentsThatOnlyLookLikeTheOptionAreDeviceNames) {
    ExpectRun({"-?x"}, OpenFails(kUnknownDevice), 1);
    ExpectRun({"-"}, OpenFails(kUnknownDevice), 1);
    ExpectRun({"-?-?"}, OpenFails(kUnknownDevice), 1);
}

// --- Devices ---

const std::string kMtDeviceRun = "- path to sim_mt_1 opened\n"
                                 "- number of channels = 4\n"
                                 "- the device has no id-prom\n"
                                 "- path to sim_mt_1 closed\n";

TEST(TraxappDevices, DeviceWithIdPromDumpsItInWords) {
    // The id-prom of SIM-DIO16 as 16-bit words: magic, id, revision, serial number
    // 20260001 (0x013524a1), the name "SIM-DIO16", zero padding and the checksum word that
    // makes the XOR of all words 0.
    ExpectRun({"sim_dio_1"},
              "- path to sim_dio_1 opened\n"
              "- number of channels = 16\n"
              "device id-prom data\n"
              " 0000: 5346 0d10 0103 0135 24a1 4953 2d4d 4944  |FS....5..$SIM-DI|\n"
              " 0010: 314f 0036 0000 0000 0000 0000 0000 0000  |O16.............|\n"
              " 0020: 0000 0000 0000 0000 0000 0000 0000 0000  |................|\n"
              " 0030: 0000 0000 0000 0000 0000 0000 0000 66e2  |...............f|\n"
              "- path to sim_dio_1 closed\n",
              0);
}

TEST(TraxappDevices, DeviceWithoutIdPromReportsItAndSucceeds) {
    ExpectRun({"sim_mt_1"}, kMtDeviceRun, 0);
}

TEST(TraxappDevices, ExtraArgumentsAreIgnored) {
    ExpectRun({"sim_mt_1", "-?", "sim_dio_1"}, kMtDeviceRun, 0);
    ExpectRun({"sim_mt_1", ""}, kMtDeviceRun, 0);
}

TEST(TraxappDevices, FailingChannelCountSkipsTheIdPromAndFailingCloseStillReportsClosed) {
    ExpectRun({"sim_fault_1"},
              "- path to sim_fault_1 opened\n"
              "*** can't getstat M_LL_CH_NUMBER: " +
                  kDeviceFault +
                  "\n"
                  "*** can't close: " +
                  kDeviceFault +
                  "\n"
                  "- path to sim_fault_1 closed\n",
              0);
}

// --- Names that cannot be opened ---

TEST(TraxappOpen, UnknownDeviceFailsWithTheLibraryText) {
    ExpectRun({"no_such_device"}, OpenFails(kUnknownDevice), 1);
    ExpectRun({""}, OpenFails(kUnknownDevice), 1);
}

#if defined(_WIN32)
// A Windows command line holds at most 32767 characters.
constexpr size_t kOverlongNameLength = 32000;
#else
constexpr size_t kOverlongNameLength = 100000;
#endif

TEST(TraxappOpen, OverlongOrOddNamesAreRefusedCleanly) {
    ExpectRun({std::string(kOverlongNameLength, 'x')},
              OpenFails("ERR_MK_NAME_TOO_LONG: device name too long"), 1);
    ExpectRun({"sim_dio_1%s%n"}, OpenFails(kUnknownDevice), 1);
}

} // namespace
