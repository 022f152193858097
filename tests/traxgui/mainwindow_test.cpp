// The main window: start-up state, opening forms once, view toggles, help entries, the
// About box and its System Info button.
#include "formRegistry.h"
#include "frmAbout.h"
#include "frmMain.h"
#include "modTraxgui.h"
#include "traxForm.h"
#include "traxguiTestSupport.h"

#include <trax_win32.h>

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>

#include <functional>

using namespace traxgui;
using traxgui::test::Child;
using traxgui::test::MessageBoxCapture;

namespace {

const char kSysInfoKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char kSysInfoLocationKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";

/// Runs check on the About box once it is shown modal, then closes it with key.
void onAboutBox(std::function<void(frmAbout *)> check, int key = Qt::Key_Escape) {
    QTimer::singleShot(0, [check, key] {
        auto *about = qobject_cast<frmAbout *>(QApplication::activeModalWidget());
        QVERIFY(about != nullptr);
        check(about);
        QTest::keyClick(about, static_cast<Qt::Key>(key));
    });
}

/// A shell script that creates marker when run.
QString writeMarkerProgram(const QTemporaryDir &dir, const QString &name, const QString &marker) {
    const QString path = dir.filePath(name);
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return QString();
    script.write(QStringLiteral("#!/bin/sh\ntouch '%1'\n").arg(marker).toUtf8());
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void startsWithTheDeviceApiFormAndNoPath();
    void menusAndToolbarCarryTheirTexts();
    void formsOfLaterIssuesAreDisabled();
    void openingAnOpenFormCreatesNoSecondInstance();
    void aClosedFormIsLoadedAfresh();
    void toolbarToggleTwiceRestoresIt();
    void statusBarToggleFollowsItsCheckMark();
    void bothHelpEntriesShowTheSameMessage();
    void helpCaptionStaysWithAMaximizedForm();
    void tileAndCascadeKeepEveryWindowVisible();
    void tilingNeverCrushesAFormBelowItsMinimumSize();
    void readOnlyBoxesAreNoTabStops();
    void aboutShowsTitleAndVersion();
    void aboutOkIsDefaultAndCancel();
    void sysInfoWithoutRegistrationIsUnavailable();
    void sysInfoStartsTheRegisteredProgram();
    void sysInfoFindsTheProgramInItsLocationFolder();
    void keyValueReadsStringsAndFailsOnMissingKeys();

  private:
    frmMain *window_ = nullptr;
};

void MainWindowTest::init() {
    TraxRegistryClear();
    Main();
    window_ = frmMain::existing();
    QVERIFY(window_ != nullptr);
}

void MainWindowTest::cleanup() {
    delete window_;
    QVERIFY(frmMain::existing() == nullptr);
    TraxRegistryClear();
}

void MainWindowTest::startsWithTheDeviceApiFormAndNoPath() {
    QCOMPARE(window_->windowTitle(), QStringLiteral("traxgui"));
    QWidget *form = window_->openForm(FormKind::TraxApi);
    QVERIFY(form != nullptr);
    QCOMPARE(form->windowTitle(), QStringLiteral("TRAX-API Library"));
    auto *mdi = Child<QMdiArea>(window_, QStringLiteral("mdiArea"));
    QVERIFY(mdi);
    QCOMPARE(mdi->subWindowList().size(), 1);
    QCOMPARE(mdi->activeSubWindow()->widget(), form);
    auto *status = Child<QLabel>(window_, QStringLiteral("Status"));
    QVERIFY(status);
    QCOMPARE(status->text(), QStringLiteral("Status: no path opened"));
    auto *date = Child<QLabel>(window_, QStringLiteral("Date"));
    auto *time = Child<QLabel>(window_, QStringLiteral("Time"));
    QVERIFY(date && time);
    QVERIFY(!date->text().trimmed().isEmpty());
    QVERIFY(!time->text().trimmed().isEmpty());
    window_->resize(1000, 700);
    QVERIFY(!test::SaveScreenshot(window_, QStringLiteral("main_window_start")).isEmpty());
}

void MainWindowTest::menusAndToolbarCarryTheirTexts() {
    const QList<std::pair<QString, QString>> items{
        {"mnuMlibTraxApi", "&TRAX-API"},  {"mnuMlibUsrOss", "USR-&OSS"},
        {"mnuMlibUsrUtl", "USR-&UTL"},    {"mnuMdrvMT", "&MT"},
        {"mnuViewToolbar", "&Toolbar"},   {"mnuViewStatusBar", "Status &Bar"},
        {"mnuWindowCascade", "&Cascade"}, {"mnuWindowTile", "&Tile"},
        {"mnuHelpContents", "&Contents"}, {"mnuHelpSearchForHelpOn", "&Search For Help On..."},
        {"mnuHelpAbout", "&About "}};
    for (const auto &[name, caption] : items) {
        auto *item = Child<QAction>(window_, name);
        QVERIFY2(item, qPrintable(name));
        QCOMPARE(item->text(), caption);
    }
    const QList<std::pair<QString, QString>> menus{{"mnuMlib", "TRAX &Library"},
                                                   {"mnuMdrv", "TRAX &Drivers"},
                                                   {"mnuView", "&View"},
                                                   {"mnuWindow", "&Window"},
                                                   {"mnuHelp", "&Help"}};
    for (const auto &[name, title] : menus) {
        auto *menu = Child<QMenu>(window_, name);
        QVERIFY2(menu, qPrintable(name));
        QCOMPARE(menu->title(), title);
    }
    auto *bar = Child<QAction>(window_, QStringLiteral("mnuHelpBar0"));
    QVERIFY(bar && bar->isSeparator());

    auto *toolbar = Child<QToolBar>(window_, QStringLiteral("tbToolBar"));
    QVERIFY(toolbar);
    const QList<QAction *> buttons = toolbar->actions();
    QCOMPARE(buttons.size(), 4);
    const QStringList keys{"TRAX_API", "USR_OSS", "USR_UTL", "MT"};
    const QStringList captions{"TRAX-API", "USR-OSS", "USR-UTL", "MT"};
    const QStringList tips{"TRAX_API Library Test", "USR_OSS Library Test", "USR_UTL Library Test",
                           "MT TRAX-Driver Test"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(buttons[i]->data().toString(), keys[i]);
        QCOMPARE(buttons[i]->text(), captions[i]);
        QCOMPARE(buttons[i]->toolTip(), tips[i]);
        QVERIFY(!buttons[i]->icon().isNull());
    }
}

void MainWindowTest::formsOfLaterIssuesAreDisabled() {
    for (const FormEntry &form : Forms()) {
        auto *entry = Child<QAction>(window_, QLatin1String(form.menuAction));
        auto *button =
            Child<QAction>(window_, QStringLiteral("tbToolBar_") + QLatin1String(form.toolbarKey));
        QVERIFY(entry && button);
        const bool built = form.create != nullptr;
        QCOMPARE(entry->isEnabled(), built);
        QCOMPARE(button->isEnabled(), built);
        if (!built) {
            window_->showForm(form.kind);
            QVERIFY(window_->openForm(form.kind) == nullptr);
        }
    }
    QVERIFY(FormOf(FormKind::TraxApi).create != nullptr);
}

void MainWindowTest::openingAnOpenFormCreatesNoSecondInstance() {
    QWidget *first = window_->openForm(FormKind::TraxApi);
    auto *mdi = Child<QMdiArea>(window_, QStringLiteral("mdiArea"));
    QVERIFY(mdi);
    Child<QAction>(window_, QStringLiteral("mnuMlibTraxApi"))->trigger();
    Child<QAction>(window_, QStringLiteral("tbToolBar_TRAX_API"))->trigger();
    QCOMPARE(mdi->subWindowList().size(), 1);
    QCOMPARE(window_->openForm(FormKind::TraxApi), first);
    QCOMPARE(mdi->activeSubWindow()->widget(), first);

    // With a second form in front, choosing the first again only brings it forward.
    Child<QAction>(window_, QStringLiteral("tbToolBar_USR_UTL"))->trigger();
    QWidget *second = window_->openForm(FormKind::UsrUtl);
    QVERIFY(second != nullptr);
    QCOMPARE(mdi->activeSubWindow()->widget(), second);
    Child<QAction>(window_, QStringLiteral("mnuMlibTraxApi"))->trigger();
    QCOMPARE(mdi->subWindowList().size(), 2);
    QCOMPARE(mdi->activeSubWindow()->widget(), first);
    QCOMPARE(mdi->subWindowList(QMdiArea::StackingOrder).constLast()->widget(), first);
    Child<QAction>(window_, QStringLiteral("mnuMlibUsrUtl"))->trigger();
    QCOMPARE(mdi->subWindowList().size(), 2);
    QCOMPARE(window_->openForm(FormKind::UsrUtl), second);
    QCOMPARE(mdi->activeSubWindow()->widget(), second);
}

void MainWindowTest::aClosedFormIsLoadedAfresh() {
    QPointer<QWidget> first = window_->openForm(FormKind::TraxApi);
    emit qobject_cast<TraxForm *>(first.data())->statusChanged(QStringLiteral("something else"));
    QCOMPARE(Child<QLabel>(window_, QStringLiteral("Status"))->text(),
             QStringLiteral("Status: something else"));
    first->parentWidget()->close();
    QTRY_VERIFY(first.isNull());
    QVERIFY(window_->openForm(FormKind::TraxApi) == nullptr);
    window_->ShowTraxApiForm();
    QVERIFY(window_->openForm(FormKind::TraxApi) != nullptr);
    QCOMPARE(Child<QLabel>(window_, QStringLiteral("Status"))->text(),
             QStringLiteral("Status: no path opened"));
}

void MainWindowTest::toolbarToggleTwiceRestoresIt() {
    auto *toggle = Child<QAction>(window_, QStringLiteral("mnuViewToolbar"));
    auto *toolbar = Child<QToolBar>(window_, QStringLiteral("tbToolBar"));
    QVERIFY(toggle && toolbar);
    QVERIFY(toggle->isChecked());
    QVERIFY(toolbar->isVisible());
    toggle->trigger();
    QVERIFY(!toggle->isChecked());
    QVERIFY(!toolbar->isVisible());
    toggle->trigger();
    QVERIFY(toggle->isChecked());
    QVERIFY(toolbar->isVisible());
}

void MainWindowTest::statusBarToggleFollowsItsCheckMark() {
    auto *toggle = Child<QAction>(window_, QStringLiteral("mnuViewStatusBar"));
    auto *bar = Child<QStatusBar>(window_, QStringLiteral("sbStatusBar"));
    QVERIFY(toggle && bar);
    toggle->trigger();
    QCOMPARE(bar->isVisible(), false);
    QCOMPARE(toggle->isChecked(), false);
    toggle->trigger();
    QCOMPARE(bar->isVisible(), true);
}

void MainWindowTest::bothHelpEntriesShowTheSameMessage() {
    MessageBoxCapture boxes;
    Child<QAction>(window_, QStringLiteral("mnuHelpContents"))->trigger();
    Child<QAction>(window_, QStringLiteral("mnuHelpSearchForHelpOn"))->trigger();
    QCOMPARE(boxes.Count(), 2);
    for (const MessageBoxRequest &box : boxes.Boxes()) {
        QCOMPARE(box.text, QStringLiteral("Unable to display Help Contents. There is no Help "
                                          "associated with this project."));
        QCOMPARE(box.icon, QMessageBox::Information);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.title, QStringLiteral("traxgui"));
    }
}

void MainWindowTest::helpCaptionStaysWithAMaximizedForm() {
    // A maximized child window shows its title in the frame's title bar; the help message
    // keeps the main window's own caption all the same.
    window_->show();
    window_->openForm(FormKind::TraxApi)->parentWidget()->showMaximized();
    MessageBoxCapture boxes;
    Child<QAction>(window_, QStringLiteral("mnuHelpContents"))->trigger();
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().title, QStringLiteral("traxgui"));
}

void MainWindowTest::tileAndCascadeKeepEveryWindowVisible() {
    auto *mdi = Child<QMdiArea>(window_, QStringLiteral("mdiArea"));
    QVERIFY(mdi);
    window_->resize(900, 700);
    Child<QAction>(window_, QStringLiteral("mnuWindowTile"))->trigger();
    QMdiSubWindow *only = mdi->subWindowList().constFirst();
    QCOMPARE(only->geometry().top(), 0);
    QCOMPARE(only->width(), mdi->viewport()->width());
    Child<QAction>(window_, QStringLiteral("mnuWindowCascade"))->trigger();
    QVERIFY(only->isVisible());
}

void MainWindowTest::tilingNeverCrushesAFormBelowItsMinimumSize() {
    for (FormKind kind : {FormKind::UsrOss, FormKind::UsrUtl, FormKind::MtDrv})
        window_->showForm(kind);
    Child<QAction>(window_, QStringLiteral("mnuWindowTile"))->trigger();
    test::SettleLayouts();
    auto *mdi = Child<QMdiArea>(window_, QStringLiteral("mdiArea"));
    const QList<QMdiSubWindow *> windows = mdi->subWindowList();
    QCOMPARE(windows.size(), 4);
    QRect above;
    for (QMdiSubWindow *window : windows) {
        const QString form = window->widget()->objectName();
        QVERIFY2(window->height() >= window->minimumSizeHint().height(), qPrintable(form));
        QVERIFY2(window->width() >= window->minimumSizeHint().width(), qPrintable(form));
        QVERIFY2(!window->geometry().intersects(above), qPrintable(form));
        above = window->geometry();
        // No control that the form shows is squeezed below the height it needs.
        for (QWidget *control : window->widget()->findChildren<QWidget *>()) {
            if (!control->isVisible() || control->objectName().isEmpty() ||
                control->objectName().startsWith(QLatin1String("qt_")))
                continue;
            QVERIFY2(control->height() >= control->minimumSizeHint().height(),
                     qPrintable(form + u'.' + control->objectName()));
        }
    }
    // Four forms do not fit the default window one above the other: the area scrolls.
    QVERIFY(mdi->verticalScrollBar()->maximum() > 0);
}

void MainWindowTest::readOnlyBoxesAreNoTabStops() {
    for (FormKind kind : {FormKind::UsrOss, FormKind::UsrUtl, FormKind::MtDrv})
        window_->showForm(kind);
    int readOnly = 0;
    for (QMdiSubWindow *window :
         Child<QMdiArea>(window_, QStringLiteral("mdiArea"))->subWindowList()) {
        for (QLineEdit *box : window->widget()->findChildren<QLineEdit *>()) {
            if (!box->isReadOnly())
                continue;
            ++readOnly;
            QVERIFY2(!(box->focusPolicy() & Qt::TabFocus), qPrintable(box->objectName()));
        }
    }
    QVERIFY(readOnly >= 8); // the status and result boxes of the four forms
}

void MainWindowTest::aboutShowsTitleAndVersion() {
    bool checked = false;
    onAboutBox([&checked](frmAbout *about) {
        QCOMPARE(about->windowTitle(), QStringLiteral("About traxgui"));
        QCOMPARE(Child<QLabel>(about, QStringLiteral("lblTitle"))->text(),
                 QStringLiteral("traxgui (free build)"));
        QCOMPARE(Child<QLabel>(about, QStringLiteral("lblVersion"))->text(),
                 QStringLiteral("Version 1.0.0"));
        QVERIFY(!Child<QLabel>(about, QStringLiteral("lblDescription"))->text().isEmpty());
        QVERIFY(!Child<QLabel>(about, QStringLiteral("lblDisclaimer"))->text().isEmpty());
        QCOMPARE(Child<QPushButton>(about, QStringLiteral("cmdSysInfo"))->text(),
                 QStringLiteral("&System Info..."));
        QVERIFY(!test::SaveScreenshot(about, QStringLiteral("about")).isEmpty());
        checked = true;
    });
    Child<QAction>(window_, QStringLiteral("mnuHelpAbout"))->trigger();
    QVERIFY(checked);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void MainWindowTest::aboutOkIsDefaultAndCancel() {
    frmAbout about(window_);
    auto *ok = Child<QPushButton>(&about, QStringLiteral("cmdOK"));
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    // Enter closes the box as accepted, Escape as cancelled; both through OK's roles.
    onAboutBox([](frmAbout *) {}, Qt::Key_Return);
    QCOMPARE(about.exec(), int(QDialog::Accepted));
    onAboutBox([](frmAbout *) {}, Qt::Key_Escape);
    QCOMPARE(about.exec(), int(QDialog::Rejected));

    // Enter on the focused System Info button presses that button, as Enter does on any
    // focused button; the box stays open.
    MessageBoxCapture boxes;
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    auto *sysInfo = Child<QPushButton>(&about, QStringLiteral("cmdSysInfo"));
    sysInfo->setFocus(Qt::TabFocusReason);
    QTest::keyClick(sysInfo, Qt::Key_Return);
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.LastText(), QStringLiteral("System Information Is Unavailable At This Time"));
    QVERIFY(about.isVisible());
    ok->setFocus(Qt::TabFocusReason);
    QVERIFY(ok->isDefault());
    QTest::keyClick(ok, Qt::Key_Return);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

void MainWindowTest::sysInfoWithoutRegistrationIsUnavailable() {
    MessageBoxCapture boxes;
    frmAbout about(window_);
    Child<QPushButton>(&about, QStringLiteral("cmdSysInfo"))->click();
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().text, QStringLiteral("System Information Is Unavailable At This Time"));
    QCOMPARE(boxes.Last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

    // A registered program that does not exist cannot be started: the same message.
    TraxRegistrySetString(HKEY_LOCAL_MACHINE, kSysInfoKey, "PATH", "/nonexistent/msinfo");
    Child<QPushButton>(&about, QStringLiteral("cmdSysInfo"))->click();
    QCOMPARE(boxes.Count(), 2);
    QCOMPARE(boxes.Last().text, QStringLiteral("System Information Is Unavailable At This Time"));
}

void MainWindowTest::sysInfoStartsTheRegisteredProgram() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString marker = dir.filePath(QStringLiteral("started"));
    const QString program = writeMarkerProgram(dir, QStringLiteral("sysinfo.sh"), marker);
    QVERIFY(!program.isEmpty());
    TraxRegistrySetString(HKEY_LOCAL_MACHINE, kSysInfoKey, "PATH", program.toLatin1().constData());
    MessageBoxCapture boxes;
    frmAbout about(window_);
    Child<QPushButton>(&about, QStringLiteral("cmdSysInfo"))->click();
    QCOMPARE(boxes.Count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
}

void MainWindowTest::sysInfoFindsTheProgramInItsLocationFolder() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString marker = dir.filePath(QStringLiteral("started"));
    QVERIFY(!writeMarkerProgram(dir, QStringLiteral("MSINFO32.EXE"), marker).isEmpty());
    TraxRegistrySetString(HKEY_LOCAL_MACHINE, kSysInfoLocationKey, "MSINFO",
                          dir.path().toLatin1().constData());
    MessageBoxCapture boxes;
    frmAbout about(window_);
    about.StartSysInfo();
    QCOMPARE(boxes.Count(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 5000);
}

void MainWindowTest::keyValueReadsStringsAndFailsOnMissingKeys() {
    QString text = QStringLiteral("before");
    QVERIFY(
        !GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoKey), QStringLiteral("PATH"), text));
    QCOMPARE(text, QString());
    TraxRegistrySetString(HKEY_LOCAL_MACHINE, kSysInfoKey, "PATH", "C:\\tools\\msinfo32.exe");
    QVERIFY(
        GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoKey), QStringLiteral("PATH"), text));
    QCOMPARE(text, QStringLiteral("C:\\tools\\msinfo32.exe"));
    text = QStringLiteral("before");
    QVERIFY(!GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoKey), QStringLiteral("OTHER"),
                         text));
    QCOMPARE(text, QString());

    // The value is read into 1024 characters: 1023 and the closing zero fit, more do not.
    const QByteArray fits(1023, 'p');
    TraxRegistrySetString(HKEY_LOCAL_MACHINE, kSysInfoKey, "PATH", fits.constData());
    QVERIFY(
        GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoKey), QStringLiteral("PATH"), text));
    QCOMPARE(text, QString::fromLatin1(fits));
    const QByteArray tooLong(1024, 'p');
    TraxRegistrySetString(HKEY_LOCAL_MACHINE, kSysInfoKey, "PATH", tooLong.constData());
    QVERIFY(
        !GetKeyValue(HKEY_LOCAL_MACHINE, QLatin1String(kSysInfoKey), QStringLiteral("PATH"), text));
    QCOMPARE(text, QString());
}

TRAXGUI_TEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"
