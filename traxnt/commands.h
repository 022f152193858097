// The command handlers of traxnt: no arguments, 0 for success, -1 for failure.
#ifndef TRAXNT_COMMANDS_H
#define TRAXNT_COMMANDS_H

#include <cstdint>

using CommandHandler = int32_t (*)();

struct CommandEntry {
    const char *name; // the command word, without the leading "-"
    CommandHandler handler;
};

constexpr int kCommandCount = 46;
/// The command table, in help order.
extern const CommandEntry commands[kCommandCount];

// Shell core
int32_t CommandHelp();
int32_t CreateThr();
int32_t SuspendThr();
int32_t SelectPath();

// Device API commands
int32_t T_M_open();
int32_t T_M_close();
int32_t T_M_getstat();
int32_t T_M_setstat();
int32_t T_M_read();
int32_t T_M_write();
int32_t T_M_getblock();
int32_t T_M_setblock();
int32_t T_M_errstring();
int32_t T_M_errstringTs();

// OS-services and Windows commands
int32_t T_UOS_SigInit();
int32_t T_UOS_SigExit();
int32_t T_UOS_SigInstall();
int32_t T_UOS_SigRemove();
int32_t T_UOS_SigMask();
int32_t T_UOS_SigUnMask();
int32_t T_UOS_SigWait();
int32_t T_UOS_ErrString();
int32_t T_UOS_ErrStringTs();
int32_t T_UOS_ErrnoGet();
int32_t T_UOS_ErrnoSet();
int32_t NtGetProcId();
int32_t NtSetEvent();

// Kernel information commands
int32_t MkGetRevString();
int32_t MkGetAddrInfo();
int32_t MkGetIrqInfo();
int32_t MkGetDevInfo();
int32_t MkGetBrdInfo();
int32_t MkGetPathInfo();
int32_t MkGetMiscInfo();
int32_t MkDevSemWait();
int32_t MkDevSemRelease();
int32_t MkIoctlDelay();

// Low-level driver and base-board information commands
int32_t LlDrvInfo();
int32_t LlDevIdPromData();
int32_t BbisDrvInfo();
int32_t BbisBrdIdPromData();

// Block buffer and debug-level services
int32_t ServDbgLevel();
int32_t ServSetBlkBufAlgn();
int32_t ServShowBlkBuf();
int32_t ServSetBlkBuf();
int32_t ServFillBlkBuf();

#endif
