// traxgui: the windowed test tool for the TRAX libraries.
#include "frmMain.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

namespace {

/// Ends the program once the device API form has painted itself for the first time: the
/// quit is queued behind the paint, so the clock of the start-up benchmark stops after it.
class QuitAfterFirstPaint final : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint &&
            watched->objectName() == QLatin1String("frmTraxApi")) {
            qApp->removeEventFilter(this);
            QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        }
        return false;
    }
};

/// With TRAXGUI_QUIT_WHEN_SHOWN set, the program ends as soon as its main window has been
/// shown and the device API form in it painted; the start-up benchmark measures that.
void quitWhenShownIfAsked() {
    if (qEnvironmentVariableIsSet("TRAXGUI_QUIT_WHEN_SHOWN"))
        qApp->installEventFilter(new QuitAfterFirstPaint(qApp));
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("traxgui"));
    // Ties the windows to the installed desktop entry (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("traxgui"));
    quitWhenShownIfAsked();
    traxgui::Main();
    return QApplication::exec();
}
