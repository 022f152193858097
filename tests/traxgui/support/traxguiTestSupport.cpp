#include "traxguiTestSupport.h"

#include "frmMain.h"

#include <QDir>
#include <QListWidget>

namespace traxgui::test {

void PrepareTestPlatform() {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

MessageBoxCapture::MessageBoxCapture() {
    SetMessageBoxHook([this](const MessageBoxRequest &request) {
        boxes_.append(request);
        return answer_;
    });
}

MessageBoxCapture::~MessageBoxCapture() {
    SetMessageBoxHook({});
}

QWidget *OpenFormInMainWindow(FormKind kind, QSize size) {
    Main();
    frmMain *window = frmMain::existing();
    if (window == nullptr)
        return nullptr;
    window->resize(size);
    if (window->openForm(kind) == nullptr)
        window->showForm(kind);
    return window->openForm(kind);
}

QStringList ListEntries(const QListWidget *list) {
    QStringList entries;
    for (int row = 0; row < list->count(); ++row)
        entries << list->item(row)->text();
    return entries;
}

void ChooseFromList(QComboBox *combo, const QString &text) {
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(QStringLiteral("'%1' is not in the list").arg(text)));
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void TypeText(QWidget *textBox, const QString &text) {
    auto *edit = qobject_cast<QLineEdit *>(textBox);
    QVERIFY(edit != nullptr);
    // Selecting the old text and typing over it: the first character replaces it.
    for (qsizetype length = 1; length <= text.size(); ++length)
        edit->setText(text.left(length));
}

QString SaveScreenshot(QWidget *widget, const QString &name) {
    QDir folder(QStringLiteral(TRAXGUI_SCREENSHOT_DIR));
    folder.mkpath(QStringLiteral("."));
    const QString path = folder.filePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(path))
        return QString();
    return path;
}

void SettleLayouts() {
    // A layout that resizes a child posts the child's own layout request; a few rounds
    // reach the deepest layout of a form.
    for (int round = 0; round < 4; ++round)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
}

bool ActivateWindow(QWidget *window) {
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

} // namespace traxgui::test
