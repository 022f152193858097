#include "pictureBox.h"

#include <QFontDatabase>

namespace traxgui {

PictureBox::PictureBox(QWidget *parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setFocusPolicy(Qt::NoFocus);
    setUndoRedoEnabled(false);
    // Courier New where it exists, else the system's fixed-pitch font.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setFamilies({QStringLiteral("Courier New"), font.family()});
    font.setStyleHint(QFont::TypeWriter);
    setFont(font);
}

void PictureBox::cls() {
    clear();
}

void PictureBox::printText(const QString &text) {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
}

void PictureBox::printLine(const QString &text) {
    printText(text + u'\n');
}

QString PictureBox::text() const {
    return toPlainText();
}

} // namespace traxgui
