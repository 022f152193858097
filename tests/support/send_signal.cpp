#include "send_signal.h"

#include <cstdio>

#include "child_process.h"
#include "sig_event_name.h"
#include "trax_win32.h"

namespace trax_test {

bool SendSignal(uint32_t pid, uint32_t code) {
    char name[TRAX_SIG_EVENT_NAME_MAX];
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, trax_sig_event_name(pid, code, name));
    if (event == nullptr) {
        std::fprintf(stderr, "CreateEventA(%s) failed (0x%x)\n", name, unsigned(GetLastError()));
        return false;
    }
    const bool sent = SetEvent(event) != FALSE;
    if (!sent)
        std::fprintf(stderr, "SetEvent(%s) failed (0x%x)\n", name, unsigned(GetLastError()));
    CloseHandle(event);
    return sent;
}

bool SendOwnSignal(uint32_t code) {
    return SendSignal(GetCurrentProcessId(), code);
}

int SendFromSecondProcess(int pauseMs, const std::vector<std::string> &codes) {
    char pid[16];
    std::snprintf(pid, sizeof pid, "%x", static_cast<unsigned>(GetCurrentProcessId()));
    std::vector<std::string> args{std::to_string(pauseMs), pid};
    args.insert(args.end(), codes.begin(), codes.end());
    ChildProcess sender(BinPath("trax_sig_sender"), args);
    sender.closeInput();
    return sender.wait(ChildProcess::after(10000)).status;
}

} // namespace trax_test
