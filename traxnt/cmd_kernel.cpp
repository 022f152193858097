/* Kernel information and I/O control commands of traxnt. */
#include "commands.h"

// Unfinished: first version so the program links; each handler fails until implemented.
int32_t MkGetRevString() { return -1; }
int32_t MkGetAddrInfo() { return -1; }
int32_t MkGetIrqInfo() { return -1; }
int32_t MkGetDevInfo() { return -1; }
int32_t MkGetBrdInfo() { return -1; }
int32_t MkGetPathInfo() { return -1; }
int32_t MkGetMiscInfo() { return -1; }
int32_t MkDevSemWait() { return -1; }
int32_t MkDevSemRelease() { return -1; }
int32_t MkIoctlDelay() { return -1; }
