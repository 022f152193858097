#include "modSigHdlr.h"

#include "modTraxgui.h"
#include "traxformat.h"

#include <trax_win32.h>

#include <QCoreApplication>
#include <QFrame>
#include <QListWidget>
#include <QPalette>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <atomic>
#include <mutex>

namespace traxgui {
namespace {

constexpr DWORD kBeepHz = 750;
constexpr DWORD kBeepMs = 250;
const QColor kIndicatorOn{0x00, 0xFF, 0x00};
constexpr char kFlashTimerName[] = "flashTimer";

std::mutex &handOverLock() {
    static std::mutex lock;
    return lock;
}

/// The hand-over object, or null while there is none; read and written under handOverLock.
SignalHandOver *&handOver() {
    static SignalHandOver *current = nullptr;
    return current;
}

/// Number written in front of each received signal; used on the window thread only.
int32_t receivedSignalNumber = 0;

void setIndicatorColor(QFrame *indicator, const QColor &color) {
    QPalette palette = indicator->palette();
    palette.setColor(QPalette::Window, color);
    indicator->setPalette(palette);
}

/// The timer that ends the indicator's flash; a child of the indicator, so it goes with it.
QTimer *flashTimer(QFrame *indicator) {
    if (auto *timer = indicator->findChild<QTimer *>(QLatin1String(kFlashTimerName)))
        return timer;
    auto *timer = new QTimer(indicator);
    timer->setObjectName(QLatin1String(kFlashTimerName));
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    timer->setInterval(static_cast<int>(kBeepMs));
    QObject::connect(timer, &QTimer::timeout, indicator,
                     [indicator] { setIndicatorColor(indicator, ButtonFaceColor()); });
    return timer;
}

/// Sounds the tone on a pool thread, since Beep lasts as long as the tone. A tone that is
/// still sounding is not queued behind: the flash of the new signal stands for it.
void soundTone() {
    static std::atomic<bool> sounding{false};
    if (sounding.exchange(true))
        return;
    QThreadPool::globalInstance()->start([] {
        Beep(kBeepHz, kBeepMs);
        sounding = false;
    });
}

} // namespace

SignalHandOver::~SignalHandOver() {
    const std::lock_guard<std::mutex> guard(handOverLock());
    if (handOver() == this)
        handOver() = nullptr;
}

void TRAX_CALL SigHdlr(uint32_t sigCode) {
    SignalHandOver *target = nullptr;
    {
        const std::lock_guard<std::mutex> guard(handOverLock());
        target = handOver();
        if (target == nullptr)
            return; // no window thread to show it on
        if (target->thread() != QThread::currentThread()) {
            // Posted events to one object arrive in the order they were posted.
            QMetaObject::invokeMethod(
                target, [target, sigCode] { emit target->signalReceived(sigCode); },
                Qt::QueuedConnection);
            return;
        }
    }
    emit target->signalReceived(sigCode);
}

SignalHandOver *PrepareSignalHandOver() {
    const std::lock_guard<std::mutex> guard(handOverLock());
    if (handOver() == nullptr)
        handOver() = new SignalHandOver(QCoreApplication::instance());
    return handOver();
}

void ResetReceivedSignalNumber() {
    receivedSignalNumber = 0;
}

void ShowSignal(QFrame *indicator, QListWidget *list, uint32_t sigCode) {
    setIndicatorColor(indicator, kIndicatorOn);
    flashTimer(indicator)->start();
    soundTone();

    list->addItem(QStringLiteral("%1: %2")
                      .arg(receivedSignalNumber)
                      .arg(hexText(static_cast<int32_t>(sigCode))));
    ++receivedSignalNumber;
    list->setCurrentRow(list->currentRow() + 1);
}

} // namespace traxgui
