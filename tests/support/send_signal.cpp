#include "send_signal.h"

#include <cstdio>

#include "sig_event_name.h"
#include "trax_win32.h"

namespace trax_test {

bool SendSignal(uint32_t pid, uint32_t code) {
    char name[TRAX_SIG_EVENT_NAME_MAX];
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, TraxSigEventName(pid, code, name));
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

} // namespace trax_test
