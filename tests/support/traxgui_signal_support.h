// Steps shared by the tests that receive signals in the OS-services form: installing the
// handler through the form as a user does, sending signals from this or a second process,
// and ending the library's signal handling after a test.
#ifndef TRAX_TEST_TRAXGUI_SIGNAL_SUPPORT_H
#define TRAX_TEST_TRAXGUI_SIGNAL_SUPPORT_H

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

#include "send_signal.h"

class QWidget;

namespace traxgui {
class frmUsrOss;
}

namespace traxgui::test {

/// The OS-services form that the main window holds, open or loaded hidden; null if there is
/// none (or no main window).
frmUsrOss *UsrOssForm();

/// Opens the OS-services form, checks "Install Signal Handler" (answering Yes), presses
/// UOS_SigInit and installs each code through the form. False if a step did not succeed.
bool InitSignalsWithHandler(const QList<uint32_t> &codes);

/// Sets the named event of a signal of this process, as the library's sender would.
using trax_test::SendOwnSignal;

/// Runs the sender program as a second process that sends the codes to this process in
/// order, pausing pauseMs between two; true when it sent them all.
bool SendFromSecondProcess(const QList<uint32_t> &codes, int pauseMs);

/// The entries of the OS-services form's received-signal list ("" list without the form).
QStringList ReceivedSignalEntries();

/// Ends the library's signal handling and shows what was still queued for the window, so
/// that no signal of one test reaches the next.
void EndSignalHandling();

} // namespace traxgui::test

#endif
