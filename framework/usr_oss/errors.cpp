// Error numbers, error texts, identification text and the debug level.
#include "oss_internal.h"
#include "trax_error_text.h"
#include "usr_oss.h"

uint32_t G_UOS_DbgLev = 0;

namespace trax::oss {

int32_t fail(uint32_t err) {
    SetLastError(err);
    return static_cast<int32_t>(err);
}

} // namespace trax::oss

uint32_t TRAX_CALL UOS_ErrnoGet(void) {
    return GetLastError();
}

uint32_t TRAX_CALL UOS_ErrnoSet(uint32_t errCode) {
    SetLastError(errCode);
    return errCode;
}

// The text is copied into a buffer of the calling thread, so that a caller that writes
// into the returned text cannot damage the shared table, and concurrent callers on other
// threads do not overwrite each other's text.
char *TRAX_CALL UOS_ErrString(int32_t errCode) {
    thread_local char text[TRAX_ERROR_TEXT_MAX];
    return trax_error_text_into(static_cast<uint32_t>(errCode), text);
}

// A null buffer gets the calling thread's buffer of UOS_ErrString instead of a crash.
char *TRAX_CALL UOS_ErrStringTs(int32_t errCode, char *strBuf) {
    if (strBuf == nullptr)
        return UOS_ErrString(errCode);
    return trax_error_text_into(static_cast<uint32_t>(errCode), strBuf);
}

char *TRAX_CALL UOS_Ident(void) {
    static char ident[] = "velk_usr_oss: OS services for Linux (signals on named events, "
                          "timers, delays, random numbers) 1.0.0";
    return ident;
}
