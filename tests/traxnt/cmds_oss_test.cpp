// The OS-services and Windows commands of traxnt: signals through the program's handler
// and through UOS_SigWait, signal events set by name from the same and from a second
// traxnt, MT alarms, and the error-number commands.
#include <gtest/gtest.h>

#include <regex>

#include "cmds_expect.h"
#include "shell_process.h"

using namespace cmdtest;

namespace {

const std::string kHandlerLine = " >>> SigHandler: signal=0x101 occured\n";

/// Asks the shell for its process id and returns the name of its event for sigCode.
std::string SignalEventName(ShellProcess &shell, const char *sigCode) {
    shell.Send("pid\n");
    EXPECT_TRUE(shell.WaitFor("Process id=0x"));
    std::smatch match;
    const std::regex pidLine("Process id=0x([0-9a-f]+)\n");
    // The rest of the line comes at the latest with the prompt that follows it.
    if (!std::regex_search(shell.output, match, pidLine))
        shell.WaitFor(kPromptEnd, shell.Occurrences(kPromptEnd) + 1);
    if (!std::regex_search(shell.output, match, pidLine))
        return "";
    return match[1].str() + "SigEvt" + sigCode;
}

std::string SetEventLines(const std::string &name) {
    return "Set NT event (open/create, set, close event)\n\n"
           " name of the event (signal: <process Id>SigEvt<signal code>) -> "
           " handle to event '" +
           name + "' opened\n event '" + name + "' signaled\n handle to event '" + name +
           "' closed\n";
}

TEST(SignalHandler, EventFromTheSameShellAndFromASecondShell) {
    ShellProcess receiver;
    ASSERT_TRUE(receiver.Started());
    receiver.Send("si 1\nsin 0x101\n");
    const std::string name = SignalEventName(receiver, "101");
    ASSERT_FALSE(name.empty());

    receiver.Send("sev " + name + "\n");
    ASSERT_TRUE(receiver.WaitFor(kHandlerLine));

    ShellProcess sender;
    sender.Send("sev " + name + "\n");
    const auto senderOuts = CommandOutputs(sender.Finish());
    ASSERT_EQ(senderOuts.size(), 1u);
    EXPECT_EQ(senderOuts[0], std::string(kNoPathWarning) + SetEventLines(name));
    EXPECT_TRUE(receiver.WaitFor(kHandlerLine, 2));

    receiver.Finish();
    EXPECT_EQ(receiver.exitStatus, 0);
    const auto outs = CommandOutputs(receiver.output);
    ASSERT_GE(outs.size(), 2u);
    EXPECT_EQ(outs[0], std::string(kNoPathWarning) +
                           "Call UOS_SigInit: Init signal handling\n\n"
                           " use user signal handler : 1\n use UOS_SigWait()       : 0\n"
                           "                        -> ");
    EXPECT_EQ(outs[1], std::string(kNoPathWarning) +
                           "Call UOS_SigInstall: Install signal\n\n predefined signal codes:"
                           "            \n user signal 1 (UOS_SIG_USR1) : 0x101\n user signal 2 "
                           "(UOS_SIG_USR2) : 0x102\n\n signal code (0x100..0x1ff) ->  0x");
}

TEST(SignalWait, QueuedSignalIsReceivedThenTheWaitTimesOut) {
    ShellProcess shell;
    ASSERT_TRUE(shell.Started());
    shell.Send("si 0\nsin 102\n");
    const std::string name = SignalEventName(shell, "102");
    ASSERT_FALSE(name.empty());
    shell.Send("sev " + name + "\nsw 5000\nsw 50\n");
    shell.Finish();
    const auto outs = CommandOutputs(shell.output);
    ASSERT_EQ(outs.size(), 6u);
    const std::string waitHeader = std::string(kNoPathWarning) +
                                   "Call UOS_SigWait: Wait on any signal\n timeout for wait "
                                   "[ms] -> ";
    EXPECT_EQ(outs[4], waitHeader + " signal=0x102 received\n");
    EXPECT_EQ(outs[5], waitHeader + UosErrLine(ERR_UOS_TIMEOUT));
}

// The quick script sre, sev, sin, sw: the signal set while the code was removed never comes.
TEST(SignalWait, ASignalSetWhileItsCodeIsRemovedIsNotReceivedAfterReinstalling) {
    ShellProcess shell;
    ASSERT_TRUE(shell.Started());
    shell.Send("si 0\n");
    const std::string name = SignalEventName(shell, "101");
    ASSERT_FALSE(name.empty());
    constexpr int kRepetitions = 200;
    std::string script;
    for (int i = 0; i < kRepetitions; ++i)
        script += "sin 101\nsre 101\nsev " + name + "\nsin 101\nsw 30\nsre 101\n";
    shell.Send(script);
    shell.Finish(60000);
    EXPECT_EQ(shell.Occurrences("signal=0x101 received"), 0);
    EXPECT_EQ(shell.Occurrences(UosErrLine(ERR_UOS_TIMEOUT)), kRepetitions);
}

// The session ends with the alarm spent (one-shot) or still armed (cyclic): the program must
// end either way, also where the alarm timer lives in a DLL detached at process exit.
TEST(SignalAlarm, MtAlarmFromTheBlockBufferArrivesAsASignal) {
    for (const char *cyclic : {"0", "1"}) {
        SCOPED_TRACE(std::string("cyclic ") + cyclic);
        ShellProcess shell;
        ASSERT_TRUE(shell.Started());
        // Alarm block: number 0, 50 ms, cyclic or not, signal 0x101 as four little-endian
        // dwords.
        shell.Send("mo sim_mt_1\nsi 1\nsin 101\nbbalgn 4\nbbfill 0-3 0\nbbset 1 32\nbbset 2 " +
                   std::string(cyclic) + "\nbbset 3 101\nms 2200 4\n");
        EXPECT_TRUE(shell.WaitFor(kHandlerLine));
        shell.Finish();
        EXPECT_EQ(shell.exitStatus, 0);
        EXPECT_EQ(shell.Occurrences(" \a"), 0) << shell.output;
    }
}

TEST(SignalCommands, LibraryRefusalsAreReportedWithTheirText) {
    const auto outs = RunCommands("sin 101\nsi 7\nsi 1\nsin 300\nsre 105\nsm\nsum\nse\nse\n");
    ASSERT_EQ(outs.size(), 9u);
    EXPECT_EQ(outs[0].substr(outs[0].size() - UosErrLine(ERR_UOS_NOT_INIT).size()),
              UosErrLine(ERR_UOS_NOT_INIT));
    // Any non-zero answer installs the handler, so a second init is refused.
    EXPECT_EQ(LinesStartingWith(outs[1], " \a"), 0);
    EXPECT_EQ(outs[2].substr(outs[2].size() - UosErrLine(ERR_UOS_ALREADY_INIT).size()),
              UosErrLine(ERR_UOS_ALREADY_INIT));
    EXPECT_EQ(outs[3].substr(outs[3].size() - UosErrLine(ERR_UOS_ILL_SIG).size()),
              UosErrLine(ERR_UOS_ILL_SIG));
    EXPECT_EQ(outs[4], std::string(kNoPathWarning) +
                           "Call UOS_SigRemove: Remove signal\n "
                           "signal code -> 0x" +
                           UosErrLine(ERR_UOS_NOT_INSTALLED));
    EXPECT_EQ(outs[5], std::string(kNoPathWarning) + "Call UOS_SigMask: Mask all signals\n");
    EXPECT_EQ(outs[6], std::string(kNoPathWarning) + "Call UOS_SigUnMask: Unmask all signals\n");
    EXPECT_EQ(outs[7], std::string(kNoPathWarning) + "Call UOS_SigExit: Exit signal handling\n");
    EXPECT_EQ(outs[8], std::string(kNoPathWarning) + "Call UOS_SigExit: Exit signal handling\n" +
                           UosErrLine(ERR_UOS_NOT_INIT));
}

TEST(SignalCommands, NonNumbersAbandonWithoutCallingTheLibrary) {
    const auto outs = RunCommands("si yes\nsin x101\nsw 1\n");
    ASSERT_EQ(outs.size(), 3u);
    EXPECT_NE(outs[0].find("->  \a*** not a decimal number: yes\n"), std::string::npos);
    EXPECT_NE(outs[1].find("0x \a*** not a hexadecimal number: x101\n"), std::string::npos);
    // No init happened, so the wait is refused as uninitialised.
    EXPECT_NE(outs[2].find(UosErrLine(ERR_UOS_NOT_INIT)), std::string::npos);
}

TEST(SetEvent, UnknownNameIsCreatedSetAndClosed) {
    const auto outs = RunCommands("sev nobodyWaitsHere\n");
    ASSERT_EQ(outs.size(), 1u);
    EXPECT_EQ(outs[0], std::string(kNoPathWarning) + SetEventLines("nobodyWaitsHere"));
}

TEST(SetEvent, NamesLongerThan19CharactersAreRefused) {
    const auto outs = RunCommands("sev 12345678901234567890\nsev 1234567890123456789\n");
    ASSERT_EQ(outs.size(), 2u);
    EXPECT_EQ(outs[0], std::string(kNoPathWarning) +
                           "Set NT event (open/create, set, close event)\n\n"
                           " name of the event (signal: <process Id>SigEvt<signal code>) -> "
                           " \a*** event name too long (at most 19 characters)\n");
    EXPECT_EQ(outs[1], std::string(kNoPathWarning) + SetEventLines("1234567890123456789"));
}

TEST(ErrorCommands, TextsAndErrorNumbers) {
    const auto outs = RunCommands("uerr E00E1006\nuerrts e00e1003\nerrset 1234\nerrget\n");
    ASSERT_EQ(outs.size(), 4u);
    const std::string warn = kNoPathWarning;
    EXPECT_EQ(outs[0], warn + "Call UOS_ErrString: Get error string:\n error code -> 0x" +
                           UOS_ErrString(static_cast<int32_t>(ERR_UOS_TIMEOUT)) + "\n");
    EXPECT_EQ(outs[1], warn + "Call UOS_ErrStringTs: Get error string:\n error code -> 0x" +
                           UOS_ErrString(static_cast<int32_t>(ERR_UOS_ILL_SIG)) + "\n");
    EXPECT_EQ(outs[2], warn + "Call UOS_ErrnoSet: Set error number:\n error code -> 0x");
    EXPECT_EQ(outs[3], warn + "Call UOS_ErrnoGet: Get error number:\n error number -> 0x1234");
}

} // namespace
