// The signal handler of the OS-services form. The library calls it on a thread of its own;
// the handler hands each signal code to the window thread, where the main window gives it to
// the OS-services form, which shows it: the indicator flashes, a tone sounds and the list of
// received signals gets an entry.
#ifndef TRAXGUI_MODSIGHDLR_H
#define TRAXGUI_MODSIGHDLR_H

#include <trax_export.h>

#include <QObject>

#include <cstdint>

class QFrame;
class QListWidget;

namespace traxgui {

/// Lives on the window thread and announces there each signal that SigHdlr received.
class SignalHandOver : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;
    /// Withdraws the object from SigHdlr first, so that no library thread can hand a signal
    /// to it while it is being destroyed.
    ~SignalHandOver() override;

  signals:
    /// A signal arrived; emitted on the window thread, once per signal, in the order of the
    /// SigHdlr calls.
    void signalReceived(uint32_t sigCode);
};

/// Announces a received signal through the hand-over object. Safe on any thread: called on
/// another thread than the window's, it only queues the code for the window thread. Called
/// on the window thread, it announces the signal at once. Without a hand-over object the
/// signal is dropped.
void TRAX_CALL SigHdlr(uint32_t sigCode);

/// Makes the window thread ready to receive signals handed over from library threads and
/// gives the hand-over object. Must run on the window thread before the handler is given to
/// the library.
SignalHandOver *PrepareSignalHandOver();

/// Starts the numbering of received signals again at 0.
void ResetReceivedSignalNumber();

/// Shows one signal: the indicator turns green for the length of a tone that sounds off the
/// window thread, and the list gets the entry "<number>: &H<code>" with the selection moved
/// one entry down. The window thread keeps painting meanwhile; signals during the flash
/// extend it.
void ShowSignal(QFrame *indicator, QListWidget *list, uint32_t sigCode);

} // namespace traxgui

#endif
