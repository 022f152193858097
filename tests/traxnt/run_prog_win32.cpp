/* Running a program with scripted standard input on Windows, for the traxnt end-to-end
 * tests: the input chunks are typed with pauses, the output comes with "\n" line ends. */
#include "child_process_win32.h"
#include "run_prog.h"

std::string BinPath(const std::string &program) {
    return std::string(TRAX_BIN_DIR) + "/" + program + ".exe";
}

ProgResult RunProg(const std::string &program, const std::vector<std::string> &inputChunks,
                   int pauseMs, int timeoutMs) {
    ProgResult result;
    ChildProcess child(program, {});
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeoutMs);
    for (size_t i = 0; i < inputChunks.size(); ++i) {
        if (i > 0)
            Sleep(static_cast<DWORD>(pauseMs));
        // A program that stopped reading drops the rest of the input.
        if (!child.Send(inputChunks[i]))
            break;
    }
    const ULONGLONG now = GetTickCount64();
    result.timedOut = !child.Finish(now < deadline ? static_cast<int>(deadline - now) : 0);
    result.status = child.exitStatus;
    result.out = child.Output();
    return result;
}
