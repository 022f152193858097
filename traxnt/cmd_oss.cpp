/* OS-services and Windows commands of traxnt. */
#include "commands.h"

// Unfinished: first version so the program links; each handler fails until implemented.
int32_t T_UOS_SigInit() { return -1; }
int32_t T_UOS_SigExit() { return -1; }
int32_t T_UOS_SigInstall() { return -1; }
int32_t T_UOS_SigRemove() { return -1; }
int32_t T_UOS_SigMask() { return -1; }
int32_t T_UOS_SigUnMask() { return -1; }
int32_t T_UOS_SigWait() { return -1; }
int32_t T_UOS_ErrString() { return -1; }
int32_t T_UOS_ErrStringTs() { return -1; }
int32_t T_UOS_ErrnoGet() { return -1; }
int32_t T_UOS_ErrnoSet() { return -1; }
int32_t NtGetProcId() { return -1; }
int32_t NtSetEvent() { return -1; }
