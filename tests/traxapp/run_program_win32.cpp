// RunProgram on Windows: the program gets an empty standard input.
#include "child_process_win32.h"
#include "run_program.h"

ProgramRun RunProgram(const std::string &program, const std::vector<std::string> &args,
                      int timeoutMs) {
    ProgramRun run;
    ChildProcess child(program, args);
    run.timedOut = !child.Finish(timeoutMs);
    run.exitStatus = child.exitStatus;
    run.output = child.Output();
    return run;
}
