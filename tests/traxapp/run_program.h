// Runs a built program as a user does: arguments on its command line, standard input
// empty, standard output captured, with a time-out.
#ifndef TRAXAPP_TEST_RUN_PROGRAM_H
#define TRAXAPP_TEST_RUN_PROGRAM_H

#include <string>
#include <vector>

#include "child_process.h"

/// What a finished run left behind.
struct ProgramRun {
    std::string output;  ///< everything written to standard output
    int exitStatus = -1; ///< exit status, or -1 if it did not exit normally
    bool timedOut = false;
};

/// Starts program with args, waits at most timeoutMs for it to end (killing it after
/// that) and returns its output and exit status.
inline ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args,
                             int timeoutMs = 10000) {
    trax_test::ChildProcess child(program, args);
    child.closeInput();
    const auto deadline = trax_test::ChildProcess::after(timeoutMs);
    ProgramRun run;
    run.timedOut = !child.readToEnd(deadline);
    const trax_test::ChildProcess::Exit exit = child.wait(deadline);
    run.timedOut = run.timedOut || exit.timedOut;
    run.output = child.output();
    run.exitStatus = exit.status;
    return run;
}

#endif
