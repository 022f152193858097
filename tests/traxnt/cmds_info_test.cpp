// The kernel, driver and board information commands and the I/O-control commands of
// traxnt, on no path and on catalogue devices.
#include <gtest/gtest.h>

#include <thread>

#include "cmds_expect.h"
#include "shell_process.h"

using namespace cmdtest;

namespace {

/// Output of one command on a fresh path to device (the open's output is dropped).
std::string OnDevice(const std::string &device, const std::string &command,
                     const std::vector<std::string> &env = {}) {
    const auto outs = RunCommands("mo " + device + "\n" + command + "\n", env);
    EXPECT_EQ(outs.size(), 2u) << command;
    return outs.size() == 2 ? outs[1] : std::string();
}

struct NoPathCase {
    const char *command;
    const char *headerLines; // what the command prints before its first query
    int errorLines;
    int failedLines;
};

const NoPathCase kNoPathCases[] = {
    {"rev", "Get revision strings\n GetStat codes : M_MK_REV_SIZE, M_MK_BLK_REV_ID\n", 1, 0},
    {"addr",
     "Get address info\n GetStat codes : M_MK_NBR_ADDR_SPACE, M_MK_BLK_PHYSADDR, "
     "M_MK_BLK_VIRTADDR\n",
     1, 0},
    {"irq",
     "Get interrupt info\n GetStat code       - description            : value\n "
     "---------------------------------------------------\n",
     1, 0},
    {"path",
     "Get path info\n GetStat code    - description        : value\n "
     "--------------------------------------------\n",
     1, 0},
    {"misc",
     "Get miscellaneous info\n GetStat code  - description     : value\n "
     "---------------------------------------\n",
     1, 0},
    {"dev",
     "Get device info\n GetStat code        - description     : value\n "
     "---------------------------------------------\n",
     6, 6},
    {"brd",
     "Get board info\n GetStat code        - description     : value\n "
     "---------------------------------------------\n",
     5, 5},
    {"lldrv",
     "Get Low-Level driver info\n GetStat code   - description        : value\n "
     "-------------------------------------------\n",
     6, 6},
    {"bbis",
     "Get BBIS driver info\n GetStat code       - description           : value\n "
     "--------------------------------------------------\n",
     5, 5},
    {"devid", "Get device id-prom data\n GetStat codes : M_LL_ID_SIZE, M_LL_BLK_ID_DATA\n", 1, 0},
    {"brdid", "Get board id-prom data\n GetStat codes : M_BB_ID_SIZE, M_BB_BLK_ID_DATA\n", 1, 0},
};

TEST(InfoWithoutPath, EveryQueryFailsWithTheLibraryText) {
    std::string input;
    for (const NoPathCase &c : kNoPathCases)
        input += std::string(c.command) + "\n";
    const auto outs = RunCommands(input);
    ASSERT_EQ(outs.size(), std::size(kNoPathCases));
    const std::string errLine = NoPathErrLine();
    for (size_t i = 0; i < outs.size(); ++i) {
        const NoPathCase &c = kNoPathCases[i];
        SCOPED_TRACE(c.command);
        const std::string expectedStart = std::string(kNoPathWarning) + c.headerLines;
        ASSERT_EQ(outs[i].compare(0, expectedStart.size(), expectedStart), 0) << outs[i];
        EXPECT_EQ(LinesStartingWith(outs[i], " \a"), c.errorLines);
        EXPECT_EQ(LinesEndingWith(outs[i], ": *** FAILED"), c.failedLines);
        EXPECT_EQ(Occurrences(outs[i], errLine), c.errorLines);
    }
}

TEST(InfoWithoutPath, StopAtFirstFailurePrintsNothingElse) {
    const auto outs = RunCommands("addr\n");
    ASSERT_EQ(outs.size(), 1u);
    EXPECT_EQ(outs[0], std::string(kNoPathWarning) + kNoPathCases[1].headerLines + NoPathErrLine());
}

TEST(IoctlWithoutPath, RequestsFailWithTheirOwnError) {
    const auto outs = RunCommands("dsemw 0\ndsemr\niod 5\n");
    ASSERT_EQ(outs.size(), 3u);
    const std::string errLine = NoPathIoctlErrLine();
    EXPECT_EQ(outs[0], std::string(kNoPathWarning) +
                           "Wait for device semaphore\n msec to "
                           "wait (0=no wait, -1=wait forever) -> " +
                           errLine);
    EXPECT_EQ(outs[1], std::string(kNoPathWarning) + "Release device semaphore\n" + errLine);
    EXPECT_EQ(outs[2],
              std::string(kNoPathWarning) + "IOCTL for delay\n msec to delay -> " + errLine);
}

TEST(IoctlPrompts, NonNumberAbandonsWithoutARequest) {
    const auto outs = RunCommands("mo sim_dio_1\ndsemw soon\niod later\ndsemr\n");
    ASSERT_EQ(outs.size(), 4u);
    EXPECT_EQ(outs[1], "Wait for device semaphore\n msec to wait (0=no wait, -1=wait forever) "
                       "->  \a*** not a decimal number: soon\n");
    EXPECT_EQ(outs[2], "IOCTL for delay\n msec to delay ->  \a*** not a decimal number: later\n");
    // dsemw sent nothing, so there is no semaphore to release.
    EXPECT_EQ(outs[3], "Release device semaphore\n" + MapiErrLine(ERR_MK_DEVSEM_NOT_HELD));
}

TEST(DeviceInfo, ModeBitsAreNamedInTableOrder) {
    const std::string out = OnDevice("sim_dio_1", "dev");
    EXPECT_NE(out.find(" M_MK_BLK_HW_NAME    - dev hw name     : SIM-DIO16\n"), std::string::npos);
    EXPECT_NE(out.find(" M_MK_DEV_SLOT       - dev slot number : 2\n"), std::string::npos);
    EXPECT_NE(out.find(" M_MK_DEV_ADDRMODE   - dev addr mode   : 259 ( TRAX_MA08 TRAX_MA24 "
                       "TRAX_MA_PCICFG )\n"),
              std::string::npos);
    EXPECT_NE(out.find(" M_MK_DEV_DATAMODE   - dev data mode   : 24 ( TRAX_MD16 TRAX_MD32 )\n"),
              std::string::npos);
    EXPECT_EQ(LinesStartingWith(out, " \a"), 0);
}

TEST(DeviceInfo, UnnamedBitsAndFailingRowsGoOn) {
    const std::string out = OnDevice("sim_fault_1", "dev");
    EXPECT_NE(out.find(" M_MK_BLK_HW_NAME    - dev hw name     : *** FAILED\n"), std::string::npos);
    EXPECT_NE(out.find(" M_MK_DEV_ADDRMODE   - dev addr mode   : 512 ( )\n"), std::string::npos);
    EXPECT_NE(out.find(" M_MK_DEV_DATAMODE   - dev data mode   : 4 ( TRAX_MD08 )\n"),
              std::string::npos);
    EXPECT_EQ(LinesStartingWith(out, " \a"), 1);
    EXPECT_EQ(LinesEndingWith(out, "*** FAILED"), 1);
}

TEST(BoardInfo, BusTypesAndInterruptBits) {
    std::string out = OnDevice("sim_dio_1", "brd");
    EXPECT_NE(out.find(" M_MK_BUSTYPE        - brd bus type    : 2 ( PCI )\n"), std::string::npos);
    EXPECT_NE(out.find(" M_MK_IRQ_INFO       - brd irq info    : 0x3 ( BBIS_IRQ_DEVIRQ "
                       "BBIS_IRQ_EXPIRQ )\n"),
              std::string::npos);
    EXPECT_NE(out.find(" M_MK_IRQ_MODE       - brd irq mode    : 0xa ( BBIS_IRQ_EXCEPTION "
                       "BBIS_IRQ_SHARED )\n"),
              std::string::npos);

    out = OnDevice("sim_mt_1", "brd");
    EXPECT_NE(out.find(" M_MK_BUSTYPE        - brd bus type    : 0 ( NONE )\n"), std::string::npos);
    EXPECT_NE(out.find(" M_MK_IRQ_INFO       - brd irq info    : 0x0 ( - )\n"), std::string::npos);
    EXPECT_NE(out.find(" M_MK_IRQ_MODE       - brd irq mode    : 0x0 ( )\n"), std::string::npos);

    out = OnDevice("sim_fault_1", "brd");
    EXPECT_NE(out.find(" M_MK_BUSTYPE        - brd bus type    : 6 ( unknown )\n"),
              std::string::npos);
    EXPECT_NE(out.find(" M_MK_IRQ_MODE       - brd irq mode    : *** FAILED\n"), std::string::npos);
}

TEST(AddressInfo, NoAddressSpacesGiveAnEmptyTable) {
    EXPECT_EQ(OnDevice("sim_mt_1", "addr"),
              "Get address info\n GetStat codes : M_MK_NBR_ADDR_SPACE, M_MK_BLK_PHYSADDR, "
              "M_MK_BLK_VIRTADDR\n space | physical addr | virtual addr | size      \n"
              " ------+---------------+--------------+-----------\n");
}

TEST(AddressInfo, OneRowPerSpace) {
    const std::string out = OnDevice("sim_dio_1", "addr");
    EXPECT_NE(out.find("     0 |    0xf4000000 |   0x80010000 | 0x00000100\n"), std::string::npos);
    EXPECT_NE(out.find("     1 |    0xf4100000 |   0x80020000 | 0x00001000\n"), std::string::npos);
}

TEST(MiscInfo, UnknownLockModeThenStopAtTheFailingTickRate) {
    const std::string out = OnDevice("sim_fault_1", "misc");
    EXPECT_NE(out.find(" M_MK_LOCKMODE - locking mode    : 0 ( unknown )\n"), std::string::npos);
    EXPECT_EQ(out.find("M_MK_TICKRATE - kernel"), std::string::npos);
    EXPECT_EQ(LinesStartingWith(out, " \a"), 1);
}

TEST(PathAndIrqInfo, ValuesOfAnOpenPath) {
    std::string out = OnDevice("sim_dio_1", "path");
    EXPECT_NE(out.find(" M_MK_PATHCNT    - nbr of open paths  : 1\n"), std::string::npos);
    EXPECT_NE(out.find(" M_MK_IO_MODE    - current i/o mode   : "), std::string::npos);
    out = OnDevice("sim_dio_1", "irq");
    EXPECT_NE(out.find(" M_MK_IRQ_INSTALLED - irq service installed  : 1 (yes)\n"),
              std::string::npos);
    EXPECT_NE(out.find(" M_MK_IRQ_ENABLE    - irq state              : "), std::string::npos);
    out = OnDevice("sim_mt_1", "misc");
    EXPECT_NE(out.find(" M_MK_LOCKMODE - locking mode    : 1 ( LL_LOCK_NONE )\n"),
              std::string::npos);
    EXPECT_NE(out.find(" M_MK_TICKRATE - kernel tickrate : 1000 [tics/sec]\n"), std::string::npos);
}

TEST(RevisionInfo, TextThenLibraryIdentifications) {
    const std::string out = OnDevice("sim_mt_1", "rev");
    const std::string idents = std::string(" ") + UOS_Ident() + "\n " + UTL_Ident() + "\n";
    ASSERT_GT(out.size(), idents.size());
    EXPECT_EQ(out.substr(out.size() - idents.size()), idents);
    EXPECT_NE(out.find(" sim_mt_ll   1.0  MT test driver\n"), std::string::npos);
}

TEST(OutOfMemory, AllocationFailureShowsTheOutOfMemoryText) {
    const std::vector<std::string> failAlloc = {"TRAXNT_FAIL_ALLOC=1"};
    const std::string header = "Get revision strings\n GetStat codes : M_MK_REV_SIZE, "
                               "M_MK_BLK_REV_ID\n";
    EXPECT_EQ(OnDevice("sim_dio_1", "rev", failAlloc), header + MapiErrLine(ERR_MK_NO_MEM));
    EXPECT_EQ(OnDevice("sim_dio_1", "devid", failAlloc),
              "Get device id-prom data\n GetStat codes : M_LL_ID_SIZE, M_LL_BLK_ID_DATA\n" +
                  MapiErrLine(ERR_MK_NO_MEM));
    EXPECT_EQ(OnDevice("sim_dio_1", "brdid", failAlloc),
              "Get board id-prom data\n GetStat codes : M_BB_ID_SIZE, M_BB_BLK_ID_DATA\n" +
                  MapiErrLine(ERR_MK_NO_MEM));
}

TEST(DriverInfo, ChannelNamesAndUnknownValues) {
    std::string out = OnDevice("sim_dio_1", "lldrv");
    EXPECT_NE(out.find(" M_LL_CH_NUMBER - number of channels : 16\n"), std::string::npos);
    EXPECT_NE(out.find(" M_LL_CH_DIR    - channel direction  : 3 ( M_CH_INOUT )\n"),
              std::string::npos);
    EXPECT_NE(out.find(" M_LL_CH_LEN    - channel length     : 1 [bit]\n"), std::string::npos);
    EXPECT_NE(out.find(" M_LL_CH_TYP    - channel type       : 1 ( M_CH_BINARY )\n"),
              std::string::npos);
    EXPECT_NE(out.find(" M_LL_ID_CHECK  - id-prom check      : 1 ( enabled )\n"),
              std::string::npos);

    out = OnDevice("sim_fault_1", "lldrv");
    EXPECT_NE(out.find(" M_LL_CH_NUMBER - number of channels : *** FAILED\n"), std::string::npos);
    EXPECT_NE(out.find(" M_LL_CH_TYP    - channel type       : 5 ( unknown )\n"),
              std::string::npos);
    EXPECT_NE(out.find(" M_LL_ID_CHECK  - id-prom check      : 0 ( disabled )\n"),
              std::string::npos);
    EXPECT_EQ(LinesEndingWith(out, "*** FAILED"), 2);
}

TEST(IdProm, DeviceWithoutIdPromDumpsNothing) {
    const std::string out = OnDevice("sim_mt_1", "devid");
    const std::string header =
        "Get device id-prom data\n GetStat codes : M_LL_ID_SIZE, M_LL_BLK_ID_DATA\n";
    ASSERT_EQ(out.compare(0, header.size(), header), 0);
    EXPECT_EQ(LinesStartingWith(out, " \a"), 1);
    EXPECT_EQ(out.find("id-prom data", header.size()), std::string::npos);
}

TEST(IdProm, FailingContentsQueryDumpsNothing) {
    const std::string out = OnDevice("sim_fault_1", "devid");
    EXPECT_EQ(LinesStartingWith(out, " \a"), 1);
    EXPECT_EQ(Occurrences(out, "device id-prom data"), 1) << "only the header line";
}

TEST(IdProm, ContentsAreDumpedIn16BitUnits) {
    std::string out = OnDevice("sim_dio_1", "devid");
    EXPECT_EQ(LinesStartingWith(out, " \a"), 0);
    EXPECT_NE(out.find("device id-prom data"), std::string::npos);
    out = OnDevice("sim_fault_1", "brdid"); // an 8-byte board id-prom
    EXPECT_EQ(LinesStartingWith(out, " \a"), 0);
    EXPECT_NE(out.find("board id-prom data"), std::string::npos);
}

TEST(DeviceSemaphore, SecondThreadTimesOutUntilReleased) {
    ShellProcess shell;
    ASSERT_TRUE(shell.Started());
    shell.Send("mo sim_dio_1\ndsemw 0\ntc\n");
    ASSERT_TRUE(shell.WaitFor("Thr:1/2"));
    // The new thread may not wait for the console yet; hand it on until it has it. Each ts
    // ends with the prompt of the thread that holds the console then, so no second ts is
    // sent before the first one's outcome is known.
    for (int tries = 0; tries < 50 && shell.Occurrences("Thr:2/2") == 0; ++tries) {
        const int prompts = shell.Occurrences(kPromptEnd);
        shell.Send("ts\n");
        ASSERT_TRUE(shell.WaitFor(kPromptEnd, prompts + 1));
        if (shell.Occurrences("Thr:2/2") == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ASSERT_TRUE(shell.WaitFor("Thr:2/2"));
    shell.Send("mo sim_dio_1\ndsemw 100\ne\n");
    ASSERT_TRUE(shell.WaitFor(MapiErrLine(ERR_MK_DEVSEM_TIMEOUT)));
    shell.Send("dsemr\ndsemr\n");
    shell.Finish();
    const auto outs = CommandOutputs(shell.output);
    ASSERT_GE(outs.size(), 2u);
    EXPECT_EQ(outs[outs.size() - 2], "Release device semaphore\n");
    EXPECT_EQ(outs.back(), "Release device semaphore\n" + MapiErrLine(ERR_MK_DEVSEM_NOT_HELD));
}

TEST(IoctlDelay, DelayOnAnOpenPathSucceedsSilently) {
    EXPECT_EQ(OnDevice("sim_dio_1", "iod 20"), "IOCTL for delay\n msec to delay -> ");
}

} // namespace
