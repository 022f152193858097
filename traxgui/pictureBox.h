// A printed output area: text is printed at the current position and the area can be
// cleared, with a fixed-pitch font so that tables line up.
#ifndef TRAXGUI_PICTUREBOX_H
#define TRAXGUI_PICTUREBOX_H

#include <QPlainTextEdit>

namespace traxgui {

class PictureBox : public QPlainTextEdit {
    Q_OBJECT

  public:
    explicit PictureBox(QWidget *parent = nullptr);

    /// Empties the area; printing starts again at the top left.
    void cls();
    /// Prints text at the current position, without a line end.
    void printText(const QString &text);
    /// Prints text followed by a line end.
    void printLine(const QString &text);
    /// Everything printed since the last cls().
    QString text() const;
};

} // namespace traxgui

#endif
