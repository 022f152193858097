// Sends a signal to a process the way any sender does: by setting the named event of that
// process and signal code.
#ifndef TRAX_TEST_SEND_SIGNAL_H
#define TRAX_TEST_SEND_SIGNAL_H

#include <stdint.h>

#include <string>
#include <vector>

namespace trax_test {

/// Opens the named event of code for process pid, sets it and closes it; false (with a line
/// on standard error) when a step failed.
bool SendSignal(uint32_t pid, uint32_t code);

/// SendSignal to the calling process.
bool SendOwnSignal(uint32_t code);

/// Runs the sender program as a second process that sends the codes (hexadecimal texts)
/// to the calling process in order, pausing pauseMs between two. Returns its exit status,
/// or -1 when it could not start or did not end within 10 s (it is killed then).
int SendFromSecondProcess(int pauseMs, const std::vector<std::string> &codes);

} // namespace trax_test

#endif
