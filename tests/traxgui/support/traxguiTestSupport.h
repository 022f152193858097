// Pieces shared by the traxgui Qt tests: the offscreen platform, message boxes captured
// instead of shown, opening a form in the main window, finding its controls by object name,
// and screenshots for review.
#ifndef TRAXGUI_TEST_SUPPORT_H
#define TRAXGUI_TEST_SUPPORT_H

#include "formRegistry.h"
#include "msgbox.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTest>

class QListWidget;

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

/// Creates the main window at the given size and opens the form of this kind as the user
/// does, unless it is open already (the device API form opens with the window); gives the
/// form, or null.
QWidget *OpenFormInMainWindow(FormKind kind, QSize size);

/// The texts of the list's entries, top to bottom.
QStringList ListEntries(const QListWidget *list);

/// Chooses an entry of a combo box as a user would with the mouse: selects it and sends
/// the "activated" notification that only a user choice sends.
void ChooseFromList(QComboBox *combo, const QString &text);

/// Replaces a text box's text as if the user had typed it character by character; every
/// intermediate text is seen by the form.
void TypeText(QWidget *textBox, const QString &text);

/// Saves what the widget shows as <screenshot folder>/<name>.png and returns the path.
QString SaveScreenshot(QWidget *widget, const QString &name);

/// Lets every layout that a change invalidated lay its widgets out again, nested ones
/// included, without running other events.
void SettleLayouts();

/// Makes the window the active one and waits until it is, so that focus changes are
/// delivered as for a user.
bool ActivateWindow(QWidget *window);

/// Sets the offscreen platform unless another one is asked for.
void PrepareTestPlatform();

/// The controls of the form under test, found by object name. A form test derives from it
/// next to QObject and sets form_ in its init().
template <typename Form> class FormControls {
  protected:
    template <typename T> T *child(const char *name) const {
        return Child<T>(form_, QLatin1String(name));
    }
    QLineEdit *box(const char *name) const { return child<QLineEdit>(name); }
    /// Argument box txtArg0..txtArg2 and its caption lblArg0..lblArg2.
    QLineEdit *arg(int i) const { return box(qPrintable(QStringLiteral("txtArg%1").arg(i))); }
    QLabel *argLabel(int i) const {
        return child<QLabel>(qPrintable(QStringLiteral("lblArg%1").arg(i)));
    }
    void press(const char *button) const { child<QPushButton>(button)->click(); }
    /// Chooses a function of the form's function list as a user does.
    void choose(const QString &function) const {
        ChooseFromList(child<QComboBox>("cboFunction"), function);
    }
    void call() const { press("cmdCall"); }

    /// Chooses every function of the list in turn; the argument captions and boxes and the
    /// return caption and box must stay where the first function put them.
    void checkArgumentColumnsStay() const {
        auto *list = child<QComboBox>("cboFunction");
        QList<QRect> first;
        for (int i = 0; i < list->count(); ++i) {
            choose(list->itemText(i));
            SettleLayouts();
            QList<QRect> places{child<QLabel>("lblRet")->geometry(), box("txtRet")->geometry()};
            for (int arg = 0; arg < 3; ++arg)
                places << argLabel(arg)->geometry() << this->arg(arg)->geometry();
            if (i == 0)
                first = places;
            QVERIFY2(places == first, qPrintable(list->itemText(i)));
        }
    }

    Form *form_ = nullptr;
};

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
