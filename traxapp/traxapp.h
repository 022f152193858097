// The example program's steps, kept apart from the program entry so that tests can run
// them in-process with an allocator that fails.
#ifndef TRAXAPP_H
#define TRAXAPP_H

#include <cstddef>

/// Allocates the id-prom buffer; the memory it returns is released with free. The program
/// passes malloc.
using TraxappAllocator = void *(*)(std::size_t size);

/// Runs the example for a command line: prints the usage, or opens the device named by
/// the first argument, prints its channel count, dumps its id-prom and closes it. Returns
/// the program's exit status (0, or 1 for the usage and for a failed open or id-prom
/// read).
int TraxappMain(int argc, char *argv[], TraxappAllocator allocate);

/// Prints "*** can't <step>: <text>" for the thread's current error number.
void PrintError(const char *step);

#endif
