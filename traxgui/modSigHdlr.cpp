#include "modSigHdlr.h"

#include "frmUsrOss.h"
#include "modTraxgui.h"
#include "traxformat.h"

#include <trax_win32.h>

#include <QCoreApplication>
#include <QFrame>
#include <QListWidget>
#include <QPalette>
#include <QThread>

#include <mutex>

namespace traxgui {
namespace {

constexpr DWORD kBeepHz = 750;
constexpr DWORD kBeepMs = 250;
const QColor kIndicatorOn{0x00, 0xFF, 0x00};

/// Lives on the window thread; signals from library threads are queued to it. Its
/// destructor withdraws it under the hand-over lock first, so that no library thread can
/// post to it while it is being destroyed.
class SignalDispatcher : public QObject {
  public:
    using QObject::QObject;
    ~SignalDispatcher() override;
};

std::mutex &handOverLock() {
    static std::mutex lock;
    return lock;
}

/// The dispatcher, or null while there is none; read and written under handOverLock.
SignalDispatcher *&dispatcher() {
    static SignalDispatcher *current = nullptr;
    return current;
}

SignalDispatcher::~SignalDispatcher() {
    const std::lock_guard<std::mutex> guard(handOverLock());
    dispatcher() = nullptr;
}

/// Number written in front of each received signal; used on the window thread only.
int32_t receivedSignalNumber = 0;

void setIndicatorColor(QFrame *indicator, const QColor &color) {
    QPalette palette = indicator->palette();
    palette.setColor(QPalette::Window, color);
    indicator->setPalette(palette);
    indicator->repaint();
}

/// Shows one signal in the form: the indicator flashes while the tone sounds, then the
/// list gets the entry "<number>: &H<code>" and the selection moves one entry down.
void showSignal(uint32_t sigCode) {
    frmUsrOss *form = frmUsrOss::LoadHidden();
    if (form == nullptr)
        return; // the main window is gone: the program is ending
    QFrame *indicator = form->SignalIndicator();
    setIndicatorColor(indicator, kIndicatorOn);
    Beep(kBeepHz, kBeepMs);
    setIndicatorColor(indicator, ButtonFaceColor());

    QListWidget *list = form->ReceivedSignalList();
    list->addItem(QStringLiteral("%1: %2")
                      .arg(receivedSignalNumber)
                      .arg(hexText(static_cast<int32_t>(sigCode))));
    ++receivedSignalNumber;
    list->setCurrentRow(list->currentRow() + 1);
}

} // namespace

void TRAX_CALL SigHdlr(uint32_t sigCode) {
    {
        const std::lock_guard<std::mutex> guard(handOverLock());
        SignalDispatcher *target = dispatcher();
        if (target == nullptr)
            return; // no window thread to show it on
        if (target->thread() != QThread::currentThread()) {
            // Posted events to one object arrive in the order they were posted.
            QMetaObject::invokeMethod(
                target, [sigCode] { showSignal(sigCode); }, Qt::QueuedConnection);
            return;
        }
    }
    showSignal(sigCode);
}

void PrepareSignalHandOver() {
    const std::lock_guard<std::mutex> guard(handOverLock());
    if (dispatcher() == nullptr)
        dispatcher() = new SignalDispatcher(QCoreApplication::instance());
}

void ResetReceivedSignalNumber() {
    receivedSignalNumber = 0;
}

} // namespace traxgui
