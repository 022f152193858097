// Sends a signal to a process the way any sender does: by setting the named event of that
// process and signal code.
#ifndef TRAX_TEST_SEND_SIGNAL_H
#define TRAX_TEST_SEND_SIGNAL_H

#include <stdint.h>

namespace trax_test {

/** Opens the named event of code for process pid, sets it and closes it; false (with a line
 *  on standard error) when a step failed. */
bool SendSignal(uint32_t pid, uint32_t code);

/** SendSignal to the calling process. */
bool SendOwnSignal(uint32_t code);

} // namespace trax_test

#endif
