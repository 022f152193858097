/* Session tests of the shell core that a fixed transcript cannot express: very large or
 * binary input, several commands on one line, and threads that come and go. */
#include <string>

#include "run_prog.h"

namespace {

const std::string kUnknown = "\a*** Unknown command\n";
const std::string kWarning = "WARNING: No open device-path!\n";

TEST(ShellInput, HugeTokenIsOneUnknownWord) {
    const ProgResult result = RunTraxnt(std::string(1 << 20, 'x') + "\nh\n");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(1u, CountOf(result.out, kUnknown));
    EXPECT_EQ(2u, CountOf(result.out, HelpText()));
}

TEST(ShellInput, BinaryInputNeitherCrashesNorRunsCommands) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 37) % 256);
    const ProgResult result = RunTraxnt(garbage);
    EXPECT_TRUE(StatusIs(0, result));
    // The banner and the start-up help only: no command of the table ran.
    EXPECT_EQ(0u, CountOf(result.out, kWarning));
}

TEST(ShellInput, ZeroByteDoesNotEndAWord) {
    const ProgResult result = RunTraxnt(std::string("h\0x\nts\0\n", 8));
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(2u, CountOf(result.out, kUnknown));
    EXPECT_EQ(0u, CountOf(result.out, kWarning));
}

TEST(ShellInput, SeveralCommandsOnOneLineRunInTurn) {
    const ProgResult result = RunTraxnt("ts h\tts\r\nxyz ts");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(3u, CountOf(result.out, "Suspend current thread ...\n"));
    EXPECT_EQ(1u, CountOf(result.out, kUnknown));
    EXPECT_EQ(4u, CountOf(result.out, kWarning));
    EXPECT_EQ(6u, CountOf(result.out, "==> cmd: -"));
}

TEST(ShellThreads, TsRightAfterTcHandsTheConsoleOver) {
    // As in a script: no pause between creating the thread and handing the console on.
    // Without the wait in tc the new thread often was not yet waiting and the main thread
    // took the console straight back; several runs make that show.
    for (int run = 0; run < 10; ++run) {
        const ProgResult result = RunTraxnt("tc ts e ts");
        EXPECT_TRUE(StatusIs(0, result));
        EXPECT_EQ(1u, CountOf(result.out, "Thr:2/2 (tid:0x"));
        // At start, after e in node 2, and after the main thread's own ts (it is alone).
        EXPECT_EQ(3u, CountOf(result.out, "Thr:1/1 (MAIN tid:0x"));
    }
}

TEST(ShellThreads, NodeFreedByExitIsTakenAgain) {
    // Each round creates a thread into node 2, hands it the console and ends it there, so
    // the main thread gets the console back with one thread left.
    std::vector<std::string> chunks;
    const int rounds = 5;
    for (int i = 0; i < rounds; ++i) {
        chunks.push_back("tc\n");
        chunks.push_back("ts\ne\n");
    }
    const ProgResult result = RunProg(BinPath("traxnt"), chunks, 150);
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(static_cast<size_t>(rounds), CountOf(result.out, "Thr:2/2 (tid:0x"));
    EXPECT_EQ(static_cast<size_t>(rounds + 1), CountOf(result.out, "Thr:1/1 (MAIN tid:0x"));
    EXPECT_EQ(0u, CountOf(result.out, "Thr:3/"));
    EXPECT_EQ(0u, CountOf(result.out, "\a***"));
}

} // namespace
