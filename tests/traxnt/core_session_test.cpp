// Session tests of the shell core that a fixed transcript cannot express: very large or
// binary input, several commands on one line, threads that come and go, and output that
// must reach a pipe while the shell waits for more input.
#if !defined(_WIN32)
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <string>
#include <vector>

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
    // The new thread may not yet be waiting when the console is released; it must still get
    // its turn before the main thread takes the console back. Several runs make a lost
    // turn show.
    for (int run = 0; run < 10; ++run) {
        const ProgResult result = RunTraxnt("tc ts e ts");
        EXPECT_TRUE(StatusIs(0, result));
        EXPECT_EQ(1u, CountOf(result.out, "Thr:2/2 (tid:0x"));
        // At start, after e in node 2, and after the main thread's own ts (it is alone).
        EXPECT_EQ(3u, CountOf(result.out, "Thr:1/1 (MAIN tid:0x"));
    }
}

TEST(ShellThreads, ScriptedTurnsKeepTheirOrderInEveryRun) {
    // Three threads created and handed the console without pauses: every run must give the
    // console to the threads in the order in which they began to wait. A thread that had
    // not yet reached its wait when the console was released used to lose its turn now and
    // then, so the session is run many times.
    const std::vector<std::string> expectedTurns = {"1/1", "1/2", "2/2", "2/3",
                                                    "1/2", "3/2", "3/3", "1/3"};
    for (int run = 0; run < 40; ++run) {
        const ProgResult result = RunTraxnt("tc ts tc e ts tc ts e");
        ASSERT_TRUE(StatusIs(0, result));
        std::vector<std::string> turns;
        for (size_t at = result.out.find("\nThr:"); at != std::string::npos;
             at = result.out.find("\nThr:", at + 1))
            turns.push_back(result.out.substr(at + 5, result.out.find(' ', at) - at - 5));
        ASSERT_EQ(expectedTurns, turns) << "run " << run;
    }
}

// A run that never started must not pass for a program that exited with status -1.
TEST(ShellRunner, AProgramThatCannotBeStartedIsReportedAsSuch) {
    const ProgResult result = RunProg(BinPath("no_such_program"), {"h\n"});
    EXPECT_FALSE(result.timedOut);
    EXPECT_NE(result.failure.find("could not be started"), std::string::npos) << result.failure;
    EXPECT_FALSE(StatusIs(-1, result));
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

#if !defined(_WIN32)
// Talks to the shell through POSIX pipes turn by turn; not ported to the Windows runner.
// Reads from fd until text has been seen count times in all that was read, or until the
// time-out; returns what was read.
std::string ReadUntil(int fd, const std::string &text, size_t count, int timeoutMs) {
    std::string seen;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (CountOf(seen, text) < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        pollfd ready{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&ready, 1, static_cast<int>(left.count())) <= 0)
            break;
        char buf[4096];
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        seen.append(buf, static_cast<size_t>(n));
    }
    return seen;
}

TEST(ShellOutput, EverythingPrintedReachesAPipeBeforeTheShellWaitsForInput) {
    // Output to a pipe is held in a large buffer: it must still all be out (here the banner,
    // then help texts of several KiB) whenever the shell stops to wait for input, which
    // stays open.
    const RunningProg prog = StartProg(BinPath("traxnt"));
    ASSERT_GE(prog.pid, 0);
    std::string seen = ReadUntil(prog.out, "==> cmd: -", 1, 10000);
    EXPECT_TRUE(OutputIs(StartText() + MainPrompt(1), seen));
    const std::string helps = "h h h h\n";
    ASSERT_EQ(static_cast<ssize_t>(helps.size()), write(prog.in, helps.data(), helps.size()));
    seen = ReadUntil(prog.out, "==> cmd: -", 4, 10000);
    EXPECT_EQ(4u, CountOf(seen, HelpText()));
    EXPECT_TRUE(seen.size() > 4096u && seen.ends_with("==> cmd: -")) << seen.size();
    close(prog.in);
    ReadUntil(prog.out, "never printed", 1, 10000);
    close(prog.out);
    int status = -1;
    waitpid(prog.pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

#endif

} // namespace
