// OS-services and Windows commands of traxnt: the signal and error-number functions of the
// OS-services library one at a time, the program's own signal handler, and the process id
// and named events through which a signal is sent to a process by hand.
#include <cstdio>

#include "cmd_util.h"
#include "commands.h"
#include "input.h"
#include "usr_oss.h"

namespace {

/// Text buffer of UOS_ErrStringTs, shared by all command threads (one runs at a time).
char G_ErrTextBuf[512];

constexpr size_t kEventNameSize = 20; // 19 characters and the terminating zero

/// Prints the OS-services library's text for a non-zero return code and returns -1.
int32_t UosErr(int32_t errCode) {
    printf(" \a%s\n", UOS_ErrString(errCode));
    return -1;
}

/// 0 for a successful OS-services call, else the UosErr report.
int32_t CheckUos(int32_t errCode) {
    return errCode == 0 ? 0 : UosErr(errCode);
}

/// Receives signals on a thread of the OS-services library, concurrently with the command
/// threads: one complete line per call, flushed at once so it is never held back.
void TRAX_CALL SigHandler(uint32_t sigCode) {
    printf(" >>> SigHandler: signal=0x%x occured\n", static_cast<unsigned>(sigCode));
    fflush(stdout);
}

/// Prints prompt and reads a hexadecimal signal or error code; false abandons the
/// command (the input routine has reported the bad token).
bool ReadHexCode(const char *prompt, uint32_t *code) {
    printf("%s", prompt);
    return ReadHex(code);
}

/// Opens (or creates) the named event, sets it and closes it again.
int32_t SignalNamedEvent(const char *name) {
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name);
    if (event == nullptr)
        return ReportWindowsError();
    printf(" handle to event '%s' opened\n", name);
    if (!SetEvent(event)) {
        const int32_t result = ReportWindowsError();
        CloseHandle(event);
        return result;
    }
    printf(" event '%s' signaled\n", name);
    if (!CloseHandle(event))
        return ReportWindowsError();
    printf(" handle to event '%s' closed\n", name);
    return 0;
}

} // namespace

int32_t T_UOS_SigInit() {
    printf("Call UOS_SigInit: Init signal handling\n\n"
           " use user signal handler : 1\n"
           " use UOS_SigWait()       : 0\n"
           "                        -> ");
    int32_t choice = 0;
    if (!ReadDec(&choice))
        return -1;
    return CheckUos(UOS_SigInit(choice != 0 ? SigHandler : nullptr));
}

int32_t T_UOS_SigExit() {
    printf("Call UOS_SigExit: Exit signal handling\n");
    return CheckUos(UOS_SigExit());
}

int32_t T_UOS_SigInstall() {
    printf("Call UOS_SigInstall: Install signal\n\n"
           " predefined signal codes:            \n"
           " user signal 1 (UOS_SIG_USR1) : 0x101\n"
           " user signal 2 (UOS_SIG_USR2) : 0x102\n\n");
    uint32_t code = 0;
    if (!ReadHexCode(" signal code (0x100..0x1ff) ->  0x", &code))
        return -1;
    return CheckUos(UOS_SigInstall(code));
}

int32_t T_UOS_SigRemove() {
    printf("Call UOS_SigRemove: Remove signal\n");
    uint32_t code = 0;
    if (!ReadHexCode(" signal code -> 0x", &code))
        return -1;
    return CheckUos(UOS_SigRemove(code));
}

int32_t T_UOS_SigMask() {
    printf("Call UOS_SigMask: Mask all signals\n");
    return CheckUos(UOS_SigMask());
}

int32_t T_UOS_SigUnMask() {
    printf("Call UOS_SigUnMask: Unmask all signals\n");
    return CheckUos(UOS_SigUnMask());
}

int32_t T_UOS_SigWait() {
    printf("Call UOS_SigWait: Wait on any signal\n timeout for wait [ms] -> ");
    int32_t msec = 0;
    if (!ReadDec(&msec))
        return -1;
    uint32_t code = 0;
    const int32_t result = UOS_SigWait(static_cast<uint32_t>(msec), &code);
    if (result != 0)
        return UosErr(result);
    printf(" signal=0x%x received\n", static_cast<unsigned>(code));
    return 0;
}

int32_t T_UOS_ErrString() {
    printf("Call UOS_ErrString: Get error string:\n");
    uint32_t code = 0;
    if (!ReadHexCode(" error code -> 0x", &code))
        return -1;
    printf("%s\n", UOS_ErrString(static_cast<int32_t>(code)));
    return 0;
}

int32_t T_UOS_ErrStringTs() {
    printf("Call UOS_ErrStringTs: Get error string:\n");
    uint32_t code = 0;
    if (!ReadHexCode(" error code -> 0x", &code))
        return -1;
    printf("%s\n", UOS_ErrStringTs(static_cast<int32_t>(code), G_ErrTextBuf));
    return 0;
}

int32_t T_UOS_ErrnoGet() {
    printf("Call UOS_ErrnoGet: Get error number:\n");
    printf(" error number -> 0x%x", static_cast<unsigned>(UOS_ErrnoGet()));
    return 0;
}

int32_t T_UOS_ErrnoSet() {
    printf("Call UOS_ErrnoSet: Set error number:\n");
    uint32_t code = 0;
    if (!ReadHexCode(" error code -> 0x", &code))
        return -1;
    UOS_ErrnoSet(code);
    return 0;
}

int32_t NtGetProcId() {
    printf("Process id=0x%x\n", static_cast<unsigned>(GetCurrentProcessId()));
    return 0;
}

int32_t NtSetEvent() {
    printf("Set NT event (open/create, set, close event)\n\n"
           " name of the event (signal: <process Id>SigEvt<signal code>) -> ");
    char name[kEventNameSize];
    if (!ReadToken(name, sizeof name)) {
        printf(" \a*** event name too long (at most %zu characters)\n", kEventNameSize - 1);
        return -1;
    }
    return SignalNamedEvent(name);
}
