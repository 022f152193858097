// Helpers shared by the signal tests: a callback that records what it receives, and a
// sender that sets a signal event of this process by name.
#ifndef UOS_SIGNAL_RECORDER_H
#define UOS_SIGNAL_RECORDER_H

#include <stdint.h>

#include <functional>
#include <vector>

#include "send_signal.h"

namespace uos_test {

/// Signal callback for UOS_SigInit: records the code, then runs the extra action if one
/// is set.
void RecordSignal(uint32_t code);

/// Forgets the recorded codes and the extra action.
void ResetRecorder();

/// Runs action(code) inside every later callback, after recording.
void SetRecorderAction(std::function<void(uint32_t)> action);

/// Waits until at least count codes are recorded or timeoutMs passes; returns them all.
std::vector<uint32_t> WaitForSignals(size_t count, int timeoutMs);

/// Opens the named event of code for this process, sets it and closes it.
using trax_test::SendOwnSignal;

/// Time for the library thread to take a signal off its event and queue it; used only
/// where a test must make sure nothing more arrives.
constexpr int kSettleMs = 100;

/// Generous upper bound for a signal to arrive.
constexpr int kArrivalMs = 3000;

} // namespace uos_test

#endif
