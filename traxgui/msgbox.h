// The one place where traxgui shows message boxes. Tests replace the box with a hook that
// records what would have been shown and answers at once, so nothing blocks.
#ifndef TRAXGUI_MSGBOX_H
#define TRAXGUI_MSGBOX_H

#include <QMessageBox>
#include <QString>

#include <functional>

namespace traxgui {

/// Everything a message box shows.
struct MessageBoxRequest {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

/// Shows a modal message box over the active window and returns the button pressed.
QMessageBox::StandardButton MsgBox(const QString &text, QMessageBox::Icon icon,
                                   QMessageBox::StandardButtons buttons, const QString &title);

/// The warning used for input errors: exclamation icon, OK button, application title.
void MsgWarning(const QString &text);

/// Replaces the real box: hook(request) is called instead and its answer returned. An empty
/// hook restores the real box.
using MessageBoxHook = std::function<QMessageBox::StandardButton(const MessageBoxRequest &)>;
void SetMessageBoxHook(MessageBoxHook hook);

} // namespace traxgui

#endif
