// Shared state of the traxnt shell: the thread table with the per-thread path tables, the
// console token, and the block buffer. Only the thread that holds the console token
// touches any of it.
#ifndef TRAXNT_SHELL_H
#define TRAXNT_SHELL_H

#include <cstdint>

#include "trax_win32.h"

constexpr int kMaxThreads = 10;
constexpr int kMaxPaths = 10;
constexpr int kDevNameSize = 40; // 39 characters and the terminating zero
constexpr int kBufSize = 1024;

/// One entry of a thread's path table; path -1 marks a free entry.
struct PathNode {
    int32_t path;
    char devName[kDevNameSize];
};

/// One command thread's node; index 0 is the main thread.
struct ThreadNode {
    int32_t number;     // index + 1, fixed
    uint8_t inUse;      // 1 while a live command thread occupies the node
    HANDLE hThread;     // handle of the created thread (not set for the main thread)
    DWORD threadId;     // operating-system id of the occupant
    int32_t pathCount;  // paths opened with mo and not closed with mc
    PathNode *currPath; // the thread's current path: one of its own paths, never null
    PathNode paths[kMaxPaths];
};

/// Name and highest element index of the block buffer in one unit size.
struct BufUnitDesc {
    const char *unitName;
    int32_t maxIndex;
};

extern ThreadNode G_ThrList[kMaxThreads];
extern ThreadNode *G_CurrThrP;
extern int32_t G_ThrCount;
extern HANDLE G_ThrSerSem; // the main thread's turn at the console token

extern uint8_t G_Buf[kBufSize];
extern uint8_t G_BufAlgn;              // unit size: 1, 2 or 4
extern const BufUnitDesc G_BufDesc[5]; // indexed by the unit size

/// The current path of the thread that holds the console (-1 when none is open).
inline int32_t CurrentPath() {
    return G_CurrThrP->currPath->path;
}
/// The unit description of the current unit size.
inline const BufUnitDesc &CurrentUnit() {
    return G_BufDesc[G_BufAlgn];
}

#endif
