// Pieces shared by the traxgui Qt tests: the offscreen platform, message boxes captured
// instead of shown, finding controls by object name, and screenshots for review.
#ifndef TRAXGUI_TEST_SUPPORT_H
#define TRAXGUI_TEST_SUPPORT_H

#include "msgbox.h"

#include <QApplication>
#include <QList>
#include <QString>
#include <QTest>

class QComboBox;

namespace traxgui::test {

/// Records every message box the code under test shows and answers it at once with the
/// chosen button, so a test never blocks. Installed for its lifetime.
class MessageBoxCapture {
  public:
    MessageBoxCapture();
    ~MessageBoxCapture();
    MessageBoxCapture(const MessageBoxCapture &) = delete;
    MessageBoxCapture &operator=(const MessageBoxCapture &) = delete;

    /// The button that every following box "presses" (OK unless changed).
    void AnswerWith(QMessageBox::StandardButton button) { answer_ = button; }
    /// Every box shown so far, oldest first.
    const QList<MessageBoxRequest> &Boxes() const { return boxes_; }
    int Count() const { return static_cast<int>(boxes_.size()); }
    /// The text of the most recent box, or "" if none was shown.
    QString LastText() const { return boxes_.isEmpty() ? QString() : boxes_.last().text; }
    const MessageBoxRequest &Last() const { return boxes_.last(); }
    void Clear() { boxes_.clear(); }

  private:
    QList<MessageBoxRequest> boxes_;
    QMessageBox::StandardButton answer_ = QMessageBox::Ok;
};

/// The child of parent with this object name and type, or null (with a warning naming it).
template <typename T> T *Child(const QObject *parent, const QString &name) {
    T *found = parent->findChild<T *>(name);
    if (found == nullptr)
        qWarning("no child '%s' of the expected type", qPrintable(name));
    return found;
}

/// Chooses an entry of a combo box as a user would with the mouse: selects it and sends
/// the "activated" notification that only a user choice sends.
void ChooseFromList(QComboBox *combo, const QString &text);

/// Replaces a text box's text as if the user had typed it character by character; every
/// intermediate text is seen by the form.
void TypeText(QWidget *textBox, const QString &text);

/// Saves what the widget shows as <screenshot folder>/<name>.png and returns the path.
QString SaveScreenshot(QWidget *widget, const QString &name);

/// Makes the window the active one and waits until it is, so that focus changes are
/// delivered as for a user.
bool ActivateWindow(QWidget *window);

/// Sets the offscreen platform unless another one is asked for.
void PrepareTestPlatform();

} // namespace traxgui::test

/// A Qt Test main that runs on the offscreen platform unless another one is asked for.
#define TRAXGUI_TEST_MAIN(TestClass)                                                               \
    int main(int argc, char *argv[]) {                                                             \
        traxgui::test::PrepareTestPlatform();                                                      \
        QApplication app(argc, argv);                                                              \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestClass testObject;                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&testObject, argc, argv);                                              \
    }

#endif
