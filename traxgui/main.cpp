// traxgui: the windowed test tool for the TRAX libraries.
#include "modTraxgui.h"

#include <QApplication>
#include <QTimer>

namespace {

/// With TRAXGUI_QUIT_WHEN_SHOWN set, the program ends as soon as its main window with the
/// device API form has been shown; the start-up benchmark measures that.
void quitWhenShownIfAsked() {
    if (qEnvironmentVariableIsSet("TRAXGUI_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("traxgui"));
    // Ties the windows to the installed desktop entry (its icon and name on Wayland).
    QGuiApplication::setDesktopFileName(QStringLiteral("traxgui"));
    traxgui::Main();
    quitWhenShownIfAsked();
    return QApplication::exec();
}
