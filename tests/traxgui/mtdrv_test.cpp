// The MT driver form: the alarm block read from its four boxes, the warnings that stop a
// call, the status box, and alarms of the simulated MT driver that arrive as signals in the
// OS-services form.
#include "appInfo.h"
#include "formRegistry.h"
#include "frmMain.h"
#include "frmMtDrv.h"
#include "frmTraxApi.h"
#include "libbinding.h"
#include "modTraxgui.h"
#include "traxguiTestSupport.h"
#include "traxgui_signal_support.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

using namespace traxgui;
using traxgui::test::MessageBoxCapture;

class MtDrvFormTest : public QObject, test::FormControls<frmMtDrv> {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void loadsWithTheDesignedTexts();
    void withoutPathBothButtonsShowTheLibraryError();
    void initialTextsGiveTheDefaultAlarm();
    void hexAndDecimalSignalGiveTheSameBlock();
    void aBadFieldStopsAfterItsWarning_data();
    void aBadFieldStopsAfterItsWarning();
    void aBadAlarmNumberIsNotSent();
    void movingTheMouseOverTheFormNeutralisesTheStatus();
    void alarmsOfTheMtDriverArriveAsSignals();
    void missingLibraryIsReportedAndTheFormStaysUsable();

  private:
    QLineEdit *status() { return box("txtMtStatus"); }
    void armAlarm() { press("cmd_Setstat_BlkAlarmSet"); }
    void clearAlarm() { press("cmd_Setstat_AlarmClr"); }
    QWidget *chooseInApiForm(const QString &function);
    void openPath(const QString &device);
    void closePath();
};

void MtDrvFormTest::init() {
    form_ = qobject_cast<frmMtDrv *>(test::OpenFormInMainWindow(FormKind::MtDrv, {1000, 760}));
    QVERIFY(form_);
}

void MtDrvFormTest::cleanup() {
    test::EndSignalHandling();
    delete frmMain::existing();
    SetLibraryFileOverride(TraxLibrary::TraxApi, QString());
}

/// Brings the device API form to the front and chooses the function there, as the user does.
QWidget *MtDrvFormTest::chooseInApiForm(const QString &function) {
    frmMain::existing()->ShowTraxApiForm();
    QWidget *api = frmMain::existing()->openForm(FormKind::TraxApi);
    test::ChooseFromList(api->findChild<QComboBox *>(QStringLiteral("cboFunction")), function);
    return api;
}

/// Opens a path as the user does, through the device API form.
void MtDrvFormTest::openPath(const QString &device) {
    QWidget *api = chooseInApiForm(QStringLiteral("M_open"));
    api->findChild<QLineEdit *>(QStringLiteral("txtArg0"))->setText(device);
    api->findChild<QPushButton *>(QStringLiteral("cmdCall"))->click();
    frmMain::existing()->ShowMtDrvForm();
}

void MtDrvFormTest::closePath() {
    chooseInApiForm(QStringLiteral("M_close"))
        ->findChild<QPushButton *>(QStringLiteral("cmdCall"))
        ->click();
}

void MtDrvFormTest::loadsWithTheDesignedTexts() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("MT-Driver"));
    QCOMPARE(child<QGroupBox>("fraBlkAlarm")->title(), QStringLiteral("MT_BLK_ALARM"));
    QCOMPARE(child<QGroupBox>("fraBlkAlarm")->toolTip(), QStringLiteral("M_SG_BLOCK structure"));
    const QList<std::pair<const char *, const char *>> labels{
        {"lblBlkAlarmNr", "alarmBlk.nr ="},
        {"lblBlkAlarmmsec", "alarmBlk.msec ="},
        {"lblBlkAlarmCyclic", "alarmBlk.cyclic ="},
        {"lblBlkAlarmSignal", "alarmBlk.signal ="},
        {"lblAlarmNr", "alarmNr ="}};
    for (const auto &[name, text] : labels)
        QCOMPARE(child<QLabel>(name)->text(), QLatin1String(text));
    QCOMPARE(box("txtBlkAlarmNr")->text(), QStringLiteral("0"));
    QCOMPARE(box("txtBlkAlarmMsec")->text(), QStringLiteral("3000"));
    QCOMPARE(box("txtBlkAlarmCyclic")->text(), QStringLiteral("1"));
    QCOMPARE(box("txtBlkAlarmSignal")->text(), QStringLiteral("&H100"));
    QCOMPARE(box("txtAlarmNr")->text(), QStringLiteral("0"));
    QCOMPARE(child<QPushButton>("cmd_Setstat_BlkAlarmSet")->text(),
             QStringLiteral("M_setstat( <path>, MT_BLK_ALARM_SET, <blk> )"));
    QCOMPARE(child<QPushButton>("cmd_Setstat_AlarmClr")->text(),
             QStringLiteral("M_setstat( <path>, MT_ALARM_CLR, alarmNr )"));
    QCOMPARE(status()->text(), QStringLiteral("STATUS"));
    QCOMPARE(status()->toolTip(), QStringLiteral("status of function call"));
    QCOMPARE(BoxColor(status()), ButtonFaceColor());
    QVERIFY(form_->findChild<QFrame *>(QStringLiteral("Line1")));
}

void MtDrvFormTest::withoutPathBothButtonsShowTheLibraryError() {
    MessageBoxCapture boxes;
    QCOMPARE(CurrentPath, 0);
    for (QPushButton *button : {child<QPushButton>("cmd_Setstat_BlkAlarmSet"),
                                child<QPushButton>("cmd_Setstat_AlarmClr")}) {
        ShowStatusNeutral(status());
        button->click();
        QCOMPARE(BoxColor(status()), QColor(255, 0, 0));
        QVERIFY(!status()->text().isEmpty());
        QVERIFY(status()->text() != QStringLiteral("STATUS"));
        QVERIFY(status()->text() != QStringLiteral("SUCCESS"));
    }
    QCOMPARE(boxes.Count(), 0);
}

void MtDrvFormTest::initialTextsGiveTheDefaultAlarm() {
    MT_ALARM_BLK block{-1, -1, -1, -1};
    QVERIFY(form_->readAlarmBlock(block));
    QCOMPARE(block.nr, 0);
    QCOMPARE(block.msec, 3000);
    QCOMPARE(block.cyclic, 1);
    QCOMPARE(block.signal, 0x100);
    QCOMPARE(sizeof block, size_t{16});
}

void MtDrvFormTest::hexAndDecimalSignalGiveTheSameBlock() {
    MT_ALARM_BLK fromHex{};
    MT_ALARM_BLK fromDecimal{};
    box("txtBlkAlarmSignal")->setText(QStringLiteral("&H100"));
    QVERIFY(form_->readAlarmBlock(fromHex));
    box("txtBlkAlarmSignal")->setText(QStringLiteral("256"));
    QVERIFY(form_->readAlarmBlock(fromDecimal));
    QCOMPARE(std::memcmp(&fromHex, &fromDecimal, sizeof fromHex), 0);
}

void MtDrvFormTest::aBadFieldStopsAfterItsWarning_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("name");
    QTest::newRow("nr") << "txtBlkAlarmNr"
                        << "alarmBlk.nr";
    QTest::newRow("msec") << "txtBlkAlarmMsec"
                          << "alarmBlk.msec";
    QTest::newRow("cyclic") << "txtBlkAlarmCyclic"
                            << "alarmBlk.cyclic";
    QTest::newRow("signal") << "txtBlkAlarmSignal"
                            << "alarmBlk.signal";
}

void MtDrvFormTest::aBadFieldStopsAfterItsWarning() {
    QFETCH(QString, field);
    QFETCH(QString, name);
    MessageBoxCapture boxes;
    // Every later field is bad too: only the first failure may be reported.
    bool later = false;
    for (const char *each :
         {"txtBlkAlarmNr", "txtBlkAlarmMsec", "txtBlkAlarmCyclic", "txtBlkAlarmSignal"}) {
        if (field == QLatin1String(each))
            later = true;
        if (later)
            box(each)->setText(QStringLiteral("1x"));
    }
    armAlarm();
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.LastText(), QStringLiteral("argument '%1' is not a valid number").arg(name));
    QCOMPARE(boxes.Last().icon, QMessageBox::Warning);
    QCOMPARE(boxes.Last().title, AppTitle());
    // Nothing was sent: without a path a call would have turned the box red.
    QCOMPARE(status()->text(), QStringLiteral("STATUS"));
    QCOMPARE(BoxColor(status()), ButtonFaceColor());
}

void MtDrvFormTest::aBadAlarmNumberIsNotSent() {
    MessageBoxCapture boxes;
    box("txtAlarmNr")->setText(QStringLiteral("&H"));
    clearAlarm();
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'alarmNr' is not a valid number"));
    QCOMPARE(status()->text(), QStringLiteral("STATUS"));
}

void MtDrvFormTest::movingTheMouseOverTheFormNeutralisesTheStatus() {
    clearAlarm();
    QVERIFY(status()->text() != QStringLiteral("STATUS"));
    QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), form_->mapToGlobal(QPointF(2, 2)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form_, &move);
    QCOMPARE(status()->text(), QStringLiteral("STATUS"));
    QCOMPARE(BoxColor(status()), ButtonFaceColor());

    // Over a control the move belongs to that control: the outcome of the button just
    // pressed stays readable while the mouse rests on it.
    clearAlarm();
    const QString outcome = status()->text();
    QVERIFY(outcome != QStringLiteral("STATUS"));
    for (const char *name :
         {"cmd_Setstat_AlarmClr", "cmd_Setstat_BlkAlarmSet", "fraBlkAlarm", "txtAlarmNr"}) {
        auto *control = child<QWidget>(name);
        QMouseEvent over(QEvent::MouseMove, QPointF(3, 3), control->mapToGlobal(QPointF(3, 3)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(control, &over);
        QCOMPARE(status()->text(), outcome);
    }
}

void MtDrvFormTest::alarmsOfTheMtDriverArriveAsSignals() {
    MessageBoxCapture boxes;
    QVERIFY(test::InitSignalsWithHandler({0x100}));
    openPath(QStringLiteral("sim_mt_1"));
    QVERIFY(CurrentPath > 0);

    // The initial texts: alarm 0, every 3000 ms, signal 0x100.
    armAlarm();
    QCOMPARE(status()->text(), QStringLiteral("SUCCESS"));
    QCOMPARE(BoxColor(status()), QColor(0, 255, 0));
    QTRY_COMPARE_WITH_TIMEOUT(test::ReceivedSignalEntries().size(), 1, 6000);
    QCOMPARE(test::ReceivedSignalEntries().first(), QStringLiteral("0: &H100"));
    QTRY_COMPARE_WITH_TIMEOUT(test::ReceivedSignalEntries().size(), 2, 6000); // cyclic
    QVERIFY(
        !test::SaveScreenshot(frmMain::existing(), QStringLiteral("main_window_mtdrv")).isEmpty());

    // Clearing stops it: no further signal within more than one period.
    clearAlarm();
    QCOMPARE(status()->text(), QStringLiteral("SUCCESS"));
    const qsizetype received = test::ReceivedSignalEntries().size();
    QTest::qWait(3500);
    QCOMPARE(test::ReceivedSignalEntries().size(), received);

    // The signal typed in decimal arms the same alarm; a single shot this time.
    box("txtBlkAlarmMsec")->setText(QStringLiteral("50"));
    box("txtBlkAlarmCyclic")->setText(QStringLiteral("0"));
    box("txtBlkAlarmSignal")->setText(QStringLiteral("256"));
    armAlarm();
    QCOMPARE(status()->text(), QStringLiteral("SUCCESS"));
    QTRY_COMPARE(test::ReceivedSignalEntries().size(), received + 1);
    QVERIFY(test::ReceivedSignalEntries().last().endsWith(QStringLiteral(": &H100")));

    // The driver refuses an alarm number it does not have; its text shows in red.
    box("txtBlkAlarmNr")->setText(QStringLiteral("9999"));
    armAlarm();
    QCOMPARE(BoxColor(status()), QColor(255, 0, 0));
    QVERIFY(status()->text() != QStringLiteral("SUCCESS"));
    closePath();
    QCOMPARE(CurrentPath, 0);
    QCOMPARE(boxes.Count(), 0);
}

void MtDrvFormTest::missingLibraryIsReportedAndTheFormStaysUsable() {
    MessageBoxCapture boxes;
    SetLibraryFileOverride(TraxLibrary::TraxApi,
                           QStringLiteral("/nonexistent/libvelk_trax_api.so"));
    armAlarm();
    clearAlarm();
    QCOMPARE(boxes.Count(), 2);
    QVERIFY(boxes.LastText().contains(QStringLiteral("velk_trax_api")));
    QCOMPARE(status()->text(), QStringLiteral("STATUS"));
    SetLibraryFileOverride(TraxLibrary::TraxApi, QString());
    clearAlarm(); // no path: the library's error in red
    QCOMPARE(BoxColor(status()), QColor(255, 0, 0));
    QCOMPARE(boxes.Count(), 2);
}

TRAXGUI_TEST_MAIN(MtDrvFormTest)
#include "mtdrv_test.moc"
