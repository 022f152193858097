// Runs a console program with given standard input and compares what it printed, for the
// end-to-end tests of traxnt.
#ifndef TRAXNT_TEST_RUN_PROG_H
#define TRAXNT_TEST_RUN_PROG_H

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"
#include "temp_folder.h"

/// What a run produced. status is the exit status, or -1 when the program was killed by a
/// signal or by the time-out (timedOut then says which).
struct ProgResult {
    std::string out;
    int status = -1;
    bool timedOut = false;
    std::string failure; ///< why there is no status, when it was not started (see Exit)
};

using trax_test::BinPath;
using trax_test::TempFolder;

/// Runs program with the chunks of input written to its standard input one after the
/// other, pausing pauseMs between two chunks (as a person typing would), then closes its
/// input. The program is killed after timeoutMs. environment holds extra "NAME=value"
/// entries for the program.
ProgResult RunProg(const std::string &program, const std::vector<std::string> &inputChunks,
                   int pauseMs = 300, int timeoutMs = 10000,
                   const std::vector<std::string> &environment = {});

#if !defined(_WIN32)
/// A program started with pipes on its standard input (in) and output (out); pid is -1
/// when it could not be started.
struct RunningProg {
    int pid = -1;
    int in = -1;
    int out = -1;
};

/// Starts program with pipes on its standard input and output, for tests that talk to it
/// turn by turn.
RunningProg StartProg(const std::string &program);
#endif

/// Runs traxnt with one chunk of input and extra "NAME=value" environment entries.
ProgResult RunTraxnt(const std::string &input, const std::vector<std::string> &environment = {});

/// Compares output with an expected text in which {BEL} stands for the bell character,
/// {TID} for a thread id in lowercase hexadecimal, and {HEX} for any hexadecimal number. On
/// a difference the failure names the first differing line.
::testing::AssertionResult OutputIs(const std::string &expected, const std::string &output);

/// Checks that the run ended by itself with the given exit status.
::testing::AssertionResult StatusIs(int expected, const ProgResult &result);

/// Counts how often text occurs in output.
size_t CountOf(const std::string &output, const std::string &text);

/// The help text (help.inc in the transcripts folder).
const std::string &HelpText();

/// The banner and help text that traxnt prints at start (banner.inc and help.inc).
const std::string &StartText();

/// The prompt of the main thread with the given thread count and path text.
std::string MainPrompt(int threadCount, const std::string &dev = "<none>",
                       const std::string &path = "-");

#endif
