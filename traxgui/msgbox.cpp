#include "msgbox.h"

#include "appInfo.h"

#include <QApplication>

namespace traxgui {
namespace {

MessageBoxHook &messageBoxHook() {
    static MessageBoxHook hook;
    return hook;
}

} // namespace

QMessageBox::StandardButton MsgBox(const QString &text, QMessageBox::Icon icon,
                                   QMessageBox::StandardButtons buttons, const QString &title) {
    if (const auto &hook = messageBoxHook())
        return hook(MessageBoxRequest{title, text, icon, buttons});
    QMessageBox box(icon, title, text, buttons, QApplication::activeWindow());
    // Texts are shown as they are, never read as markup.
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MsgWarning(const QString &text) {
    MsgBox(text, QMessageBox::Warning, QMessageBox::Ok, AppTitle());
}

void SetMessageBoxHook(MessageBoxHook hook) {
    messageBoxHook() = std::move(hook);
}

} // namespace traxgui
