// The id-prom steps that can fail after the path is open: the program reports the failed
// step, closes the path and ends with status 1. Run in-process, so that the buffer
// allocation can be made to fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "sim_catalogue.h"
#include "trax_api.h"
#include "trax_codes.h"
#include "trax_errors.h"
#include "traxapp.h"

namespace {

/// Sends standard output (file descriptor 1, which the libraries' C stdio uses too) to a
/// temporary file while alive; Text() returns what was written.
class StdoutCapture {
  public:
    StdoutCapture() : file_(std::tmpfile()) {
        std::fflush(stdout);
        saved_ = dup(1);
        dup2(fileno(file_), 1);
    }
    ~StdoutCapture() {
        Restore();
        std::fclose(file_);
    }
    std::string Text() {
        Restore();
        std::string text;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;)
            text.push_back(static_cast<char>(c));
        return text;
    }

  private:
    void Restore() {
        if (saved_ < 0)
            return;
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        saved_ = -1;
    }
    std::FILE *file_;
    int saved_ = -1;
};

std::vector<size_t> g_requestedSizes;

void *FailingAllocator(size_t size) {
    g_requestedSizes.push_back(size);
    return nullptr;
}

/// Runs the program's steps for one device name; returns the exit status.
int RunTraxapp(const char *device, TraxappAllocator allocate, std::string &output) {
    std::string program = "traxapp";
    std::string name = device;
    char *argv[] = {program.data(), name.data(), nullptr};
    StdoutCapture capture;
    const int status = TraxappMain(2, argv, allocate);
    output = capture.Text();
    return status;
}

/// Number of paths open to a device, seen through a path of our own.
int32_t OpenPathsTo(const char *device) {
    const int32_t path = M_open(device);
    if (path < 0)
        return -1;
    int32_t count = -1;
    if (M_getstat(path, M_MK_PATHCNT, &count) < 0)
        count = -1;
    M_close(path);
    return count - 1;
}

TEST(TraxappIdPromFailure, FailedAllocationIsReportedAndThePathClosed) {
    g_requestedSizes.clear();
    std::string output;
    EXPECT_EQ(RunTraxapp("sim_dio_1", FailingAllocator, output), 1);
    EXPECT_EQ(output, "- path to sim_dio_1 opened\n"
                      "- number of channels = 16\n"
                      "*** can't allocate id-prom buffer: ERR_MK_NO_MEM: out of memory\n"
                      "- path to sim_dio_1 closed\n");
    EXPECT_EQ(g_requestedSizes, std::vector<size_t>{64}) << "asked for the id-prom size";
    EXPECT_EQ(OpenPathsTo("sim_dio_1"), 0);
}

/// Adds a device whose id-prom has a size but cannot be read.
void AddDeviceWithUnreadableIdProm(const char *name) {
    sim::DeviceSpec spec;
    spec.name = name;
    spec.hardwareName = "SIM-BADPROM";
    spec.driverName = "sim_badprom_ll";
    spec.boardName = "SIM_PCI_CARRIER";
    spec.boardDriverName = "sim_bb_pci";
    spec.channels = {3, M_CH_IN, 1, M_CH_BINARY};
    spec.deviceIdProm = {32, 0x5346, 0x0E01, 0x0001, 7};
    spec.faults = {{1u << static_cast<unsigned>(sim::DeviceCall::GetStat),
                    {M_LL_BLK_ID_DATA},
                    -1,
                    ERR_LL_DEV_FAULT}};
    ASSERT_EQ(sim::Catalogue::add(spec), 0u);
}

TEST(TraxappIdPromFailure, FailedIdPromReadIsReportedAndThePathClosed) {
    AddDeviceWithUnreadableIdProm("badprom_1");
    std::string output;
    EXPECT_EQ(RunTraxapp("badprom_1", std::malloc, output), 1);
    EXPECT_EQ(output,
              "- path to badprom_1 opened\n"
              "- number of channels = 3\n"
              "*** can't getstat M_LL_BLK_ID_DATA: ERR_LL_DEV_FAULT: simulated device fault\n"
              "- path to badprom_1 closed\n");
    EXPECT_EQ(OpenPathsTo("badprom_1"), 0);
}

} // namespace
