/* Low-level driver and base-board information commands of traxnt. */
#include "commands.h"

// Unfinished: first version so the program links; each handler fails until implemented.
int32_t LlDrvInfo() { return -1; }
int32_t LlDevIdPromData() { return -1; }
int32_t BbisDrvInfo() { return -1; }
int32_t BbisBrdIdPromData() { return -1; }
