/* Block buffer and debug-level commands of traxnt. */
#include "commands.h"

// Unfinished: first version so the program links; each handler fails until implemented.
int32_t ServDbgLevel() { return -1; }
int32_t ServSetBlkBufAlgn() { return -1; }
int32_t ServShowBlkBuf() { return -1; }
int32_t ServSetBlkBuf() { return -1; }
int32_t ServFillBlkBuf() { return -1; }
