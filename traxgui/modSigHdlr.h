// The signal handler of the OS-services form. The library calls it on a thread of its own;
// the handler hands each signal code to the window thread, which shows it in the form: the
// indicator flashes, a tone sounds and the list of received signals gets an entry.
#ifndef TRAXGUI_MODSIGHDLR_H
#define TRAXGUI_MODSIGHDLR_H

#include <trax_export.h>

#include <cstdint>

namespace traxgui {

/// Records a received signal in the OS-services form, loading the form hidden if it is
/// closed. Safe on any thread: called on another thread than the window's, it only queues
/// the code for the window thread, so signals are shown once each and in the order of the
/// calls. Called on the window thread, it shows the signal at once.
void TRAX_CALL SigHdlr(uint32_t sigCode);

/// Makes the window thread ready to receive signals handed over from library threads.
/// Must run on the window thread before the handler is given to the library.
void PrepareSignalHandOver();

/// Starts the numbering of received signals again at 0.
void ResetReceivedSignalNumber();

} // namespace traxgui

#endif
