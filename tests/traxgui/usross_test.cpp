// The OS-services form: the common-function list with its layouts and calls, the signal
// buttons with their state texts and lists, the handler check box, and the signal handler
// receiving signals from library threads and from a second process on the window thread.
#include "appInfo.h"
#include "formRegistry.h"
#include "frmMain.h"
#include "frmUsrOss.h"
#include "libbinding.h"
#include "modSigHdlr.h"
#include "modTraxgui.h"
#include "pictureBox.h"
#include "traxformat.h"
#include "traxguiTestSupport.h"
#include "traxgui_signal_support.h"

#include <usr_oss.h>

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

#include <thread>

using namespace traxgui;
using traxgui::test::MessageBoxCapture;

namespace {

/// Records the background colour of a widget each time it is painted.
class PaintedColours : public QObject {
  public:
    explicit PaintedColours(QWidget *widget) : QObject(widget) { widget->installEventFilter(this); }
    QList<QColor> colours;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            colours << static_cast<QWidget *>(watched)->palette().color(QPalette::Window);
        return false;
    }
};

} // namespace

class UsrOssFormTest : public QObject, test::FormControls<frmUsrOss> {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void loadsWithTheCommonFunctionsShown();
    void groupOptionsSwitchTheFrames();
    void theGroupsNeverOverlapAfterTheOutputWasUsed();
    void captionsAndBoxesKeepTheirColumns();
    void callingThePlaceholderWarnsAndCallsNothing();
    void eachFunctionLaysOutItsArguments_data();
    void eachFunctionLaysOutItsArguments();
    void identAndErrStringPrintTheirTexts();
    void randomFeedsEachResultIntoTheNextCall();
    void randomMapStopsAtTheFirstBadArgument();
    void microDelaysShowTheirStatus();
    void statusReturnsToNeutralWhenTheCallButtonLosesFocus();
    void installByHexAndRemoveByDecimal();
    void aFailedInstallAddsNothing();
    void aBadSignalCodeKeepsTheStatusLook();
    void maskAndUnmaskShowTheirState();
    void sigWaitTimesOutAndReceives();
    void handlerBoxAnsweredNoPassesNoHandler();
    void handlerBoxAnsweredYesShowsTheHandler();
    void clickingTheHandlerFrameAddsAnEntry();
    void mouseOverTheSignalFrameNeutralisesTheStatus();
    void theIndicatorIsGreenForTheToneWhileTheWindowPaints();
    void signalsFromLibraryThreadsAreShownInOrderOnTheWindowThread();
    void signalsFromASecondProcessArriveInOrder();
    void signalsInQuickSuccessionAreAllRecorded();
    void aSignalWhileTheFormIsClosedLoadsItHidden();
    void aSignalRightAfterClosingIsNotLostWithTheClosedForm();
    void missingLibraryIsReportedAndTheFormStaysUsable();

  private:
    QStringList listEntries(const char *name) {
        return test::ListEntries(child<QListWidget>(name));
    }
    QString sigStatus() { return box("txtSigStatus")->text(); }
    void installCode(const QString &code);
    /// Checks the handler box with the given answer; the warning is checked on the way.
    void answerHandlerBox(QMessageBox::StandardButton answer);
    /// Records, for every entry added to the received-signal list, whether it was added
    /// on the window thread.
    void watchReceivingThread();

    QList<bool> onWindowThread_;
};

void UsrOssFormTest::init() {
    form_ = qobject_cast<frmUsrOss *>(test::OpenFormInMainWindow(FormKind::UsrOss, {1000, 900}));
    QVERIFY(form_);
    onWindowThread_.clear();
}

void UsrOssFormTest::cleanup() {
    test::EndSignalHandling();
    delete frmMain::existing();
    QVERIFY(test::UsrOssForm() == nullptr);
    SetLibraryFileOverride(TraxLibrary::UsrOss, QString());
}

void UsrOssFormTest::installCode(const QString &code) {
    box("txtSigInstRemSigCode")->setText(code);
    press("cmdSigInstall");
}

void UsrOssFormTest::answerHandlerBox(QMessageBox::StandardButton answer) {
    MessageBoxCapture boxes;
    boxes.AnswerWith(answer);
    child<QCheckBox>("chkSigInitHdlr")->setChecked(true);
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(boxes.Last().icon, QMessageBox::Warning);
    QCOMPARE(boxes.Last().title, AppTitle());
    const QStringList expected{"WARNING:",
                               "",
                               "The usage of the signal handler produces an access violation error",
                               "if the signal handler will be called by the USR-OSS DLL.",
                               "",
                               "Cause:",
                               "Qabel currently doesn't supports the free threading modell",
                               "and the signal handler will be called by a thread that",
                               "was not created by Qabel.",
                               "",
                               "Do you really want to install the signal handler ?"};
    QCOMPARE(boxes.LastText(), expected.join(u'\n'));
}

void UsrOssFormTest::watchReceivingThread() {
    QAbstractItemModel *model = form_->receivedSignalList()->model();
    connect(
        model, &QAbstractItemModel::rowsInserted, this,
        [this] { onWindowThread_ << (QThread::currentThread() == qApp->thread()); },
        Qt::DirectConnection);
}

// ---- Load and layout ----

void UsrOssFormTest::loadsWithTheCommonFunctionsShown() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("USR-OSS Library"));
    auto *combo = child<QComboBox>("cboFunction");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, QStringList({"UOS_Ident", "UOS_ErrString", "UOS_Random", "UOS_RandomMap",
                                 "UOS_MsecTimerGet", "UOS_MsecTimerResolution", "UOS_Delay",
                                 "UOS_MikroDelayInit", "UOS_MikroDelay"}));
    QCOMPARE(combo->currentText(), QStringLiteral("----------------- function -----------------"));
    QVERIFY(child<QRadioButton>("optGrpComFunc")->isChecked());
    QVERIFY(child<QGroupBox>("fraComFunc")->isVisible());
    QVERIFY(!child<QGroupBox>("fraOutput")->isVisible());
    QVERIFY(!child<QGroupBox>("fraSigFunc")->isVisible());
    QVERIFY(child<QGroupBox>("fraSigHdlr")->isHidden());
    QCOMPARE(box("txtSigInitStatus")->text(), QStringLiteral("not initialized"));
    QCOMPARE(box("txtSigMaskStatus")->text(), QStringLiteral("not masked"));
    QCOMPARE(box("txtSigInstRemSigCode")->text(), QStringLiteral("&H100"));
    QCOMPARE(box("txtSigWaitTimeout")->text(), QStringLiteral("5000"));
    QCOMPARE(sigStatus(), QStringLiteral("STATUS"));
    // The doubled ampersand shows as one "&" in the frame's caption.
    QCOMPARE(child<QGroupBox>("fraSigFunc")->title(),
             QStringLiteral("Signal Functions (Note: signal code range = &&H100..1ff)"));
    QCOMPARE(child<QLabel>("lblSigHdlrSigOccured")->text(), QStringLiteral("signal occured"));
    QCOMPARE(child<QPushButton>("cmdCall")->toolTip(), QStringLiteral("call USR-OSS function"));
    for (const char *line : {"Line1", "Line2", "Line3", "Line4", "Line5"})
        QVERIFY(child<QFrame>(line));
}

void UsrOssFormTest::groupOptionsSwitchTheFrames() {
    QTest::mouseClick(child<QRadioButton>("optGrpSigFunc"), Qt::LeftButton);
    QVERIFY(!child<QGroupBox>("fraComFunc")->isVisible());
    QVERIFY(child<QGroupBox>("fraSigFunc")->isVisible());
    QTest::mouseClick(child<QRadioButton>("optGrpComFunc"), Qt::LeftButton);
    QVERIFY(child<QGroupBox>("fraComFunc")->isVisible());
    QVERIFY(!child<QGroupBox>("fraSigFunc")->isVisible());
}

void UsrOssFormTest::theGroupsNeverOverlapAfterTheOutputWasUsed() {
    choose(QStringLiteral("UOS_Ident"));
    call();
    auto *output = child<QGroupBox>("fraOutput");
    QVERIFY(output->isVisible());
    // The names of the visible frames of the form that share some of its area.
    const auto overlapping = [this] {
        test::SettleLayouts();
        QList<QGroupBox *> shown;
        for (QGroupBox *frame : form_->findChildren<QGroupBox *>(Qt::FindDirectChildrenOnly)) {
            if (frame->isVisible())
                shown << frame;
        }
        QStringList names;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            for (qsizetype j = i + 1; j < shown.size(); ++j) {
                if (shown[i]->geometry().intersects(shown[j]->geometry()))
                    names << shown[i]->objectName() + u'+' + shown[j]->objectName();
            }
        }
        return names;
    };
    for (int round = 0; round < 3; ++round) {
        QTest::mouseClick(child<QRadioButton>("optGrpSigFunc"), Qt::LeftButton);
        QVERIFY(child<QGroupBox>("fraSigFunc")->isVisible());
        QVERIFY(!output->isVisible());
        QCOMPARE(overlapping(), QStringList());
        QTest::mouseClick(child<QRadioButton>("optGrpComFunc"), Qt::LeftButton);
        QVERIFY(output->isVisible()); // the chosen function still prints there
        QCOMPARE(overlapping(), QStringList());
    }
}

void UsrOssFormTest::captionsAndBoxesKeepTheirColumns() {
    checkArgumentColumnsStay();
}

void UsrOssFormTest::callingThePlaceholderWarnsAndCallsNothing() {
    MessageBoxCapture boxes;
    call();
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.LastText(), QStringLiteral("unknown USR-OSS function"));
    QCOMPARE(boxes.Last().icon, QMessageBox::Warning);
    QCOMPARE(boxes.Last().title, AppTitle());
    QCOMPARE(box("txtRet")->text(), QString());
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("waiting ..."));

    child<QComboBox>("cboFunction")->setEditText(QStringLiteral("UOS_Nonsense"));
    call();
    QCOMPARE(boxes.Count(), 2);
    QCOMPARE(boxes.LastText(), QStringLiteral("unknown USR-OSS function"));
}

void UsrOssFormTest::eachFunctionLaysOutItsArguments_data() {
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("ret");
    QTest::addColumn<QStringList>("labels"); // "" = hidden
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("output");
    QTest::addColumn<bool>("status");
    QTest::newRow("Ident") << "UOS_Ident"
                           << "string address" << QStringList{"", "", ""} << QStringList{"", "", ""}
                           << true << false;
    QTest::newRow("ErrString") << "UOS_ErrString"
                               << "string address" << QStringList{"error code", "", ""}
                               << QStringList{"&He00e1000", "", ""} << true << false;
    QTest::newRow("Random") << "UOS_Random"
                            << "random value" << QStringList{"old random value", "", ""}
                            << QStringList{"0", "", ""} << false << false;
    QTest::newRow("RandomMap") << "UOS_RandomMap"
                               << "mapped value"
                               << QStringList{"old random value", "min value", "max value"}
                               << QStringList{"0", "0", "100"} << false << false;
    QTest::newRow("TimerGet") << "UOS_MsecTimerGet"
                              << "timer value [msec]" << QStringList{"", "", ""}
                              << QStringList{"", "", ""} << false << false;
    QTest::newRow("TimerRes") << "UOS_MsecTimerResolution"
                              << "resolution [msec]" << QStringList{"", "", ""}
                              << QStringList{"", "", ""} << false << false;
    QTest::newRow("Delay") << "UOS_Delay"
                           << "rounded [msec]" << QStringList{"msec", "", ""}
                           << QStringList{"1000", "", ""} << false << false;
    QTest::newRow("MikroDelayInit")
        << "UOS_MikroDelayInit"
        << "error code" << QStringList{"", "", ""} << QStringList{"", "", ""} << false << true;
    QTest::newRow("MikroDelay") << "UOS_MikroDelay"
                                << "error code" << QStringList{"usec", "", ""}
                                << QStringList{"1000000", "", ""} << false << true;
}

void UsrOssFormTest::eachFunctionLaysOutItsArguments() {
    QFETCH(QString, function);
    QFETCH(QString, ret);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, texts);
    QFETCH(bool, output);
    QFETCH(bool, status);
    // A previous choice must leave nothing behind.
    choose(QStringLiteral("UOS_RandomMap"));
    choose(QStringLiteral("UOS_Ident"));
    choose(function);
    QCOMPARE(child<QLabel>("lblRet")->text(), ret);
    QVERIFY(box("txtRet")->isVisible());
    QVERIFY(!box("txtRet")->isEnabled());
    for (int i = 0; i < 3; ++i) {
        const bool shown = !labels[i].isEmpty();
        QCOMPARE(argLabel(i)->isVisible(), shown);
        QCOMPARE(arg(i)->isVisible(), shown);
        QCOMPARE(argLabel(i)->text(), labels[i]);
        QCOMPARE(arg(i)->text(), texts[i]);
        if (shown)
            QVERIFY(arg(i)->isEnabled());
    }
    QCOMPARE(child<QGroupBox>("fraOutput")->isVisible(), output);
    QCOMPARE(box("txtStatus")->isVisible(), status);
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("STATUS"));
}

// ---- Common functions ----

void UsrOssFormTest::identAndErrStringPrintTheirTexts() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("UOS_Ident"));
    call();
    const auto ident = CallEntry<decltype(UOS_IDENT)>(TraxLibrary::UsrOss, "UOS_IDENT");
    QVERIFY(ident);
    QCOMPARE(box("txtRet")->text(), addressText(*ident));

    // The default argument is the bit pattern 0xE00E1000, passed as a negative number.
    choose(QStringLiteral("UOS_ErrString"));
    call();
    // The library reuses its text buffer, so each text is copied at once.
    const auto errorText = [](int32_t code) {
        const auto address =
            CallEntry<decltype(UOS_ERRSTRING)>(TraxLibrary::UsrOss, "UOS_ERRSTRING", code);
        return address ? PtrToString(*address) : QString();
    };
    const QString expected = errorText(static_cast<int32_t>(0xE00E1000u));
    QVERIFY(!expected.isEmpty());
    QVERIFY(expected != errorText(0));
    const QStringList printed = child<PictureBox>("picOutput")->text().split(u'\n');
    QCOMPARE(printed, QStringList({PtrToString(*ident), expected, QString()}));
    QVERIFY(!test::SaveScreenshot(frmMain::existing(), QStringLiteral("main_window_usross_common"))
                 .isEmpty());

    press("cmdCls");
    QCOMPARE(child<PictureBox>("picOutput")->text(), QString());
    QCOMPARE(boxes.Count(), 0);
}

void UsrOssFormTest::randomFeedsEachResultIntoTheNextCall() {
    choose(QStringLiteral("UOS_Random"));
    uint32_t expected = 0;
    for (int round = 0; round < 4; ++round) {
        const auto next =
            CallEntry<decltype(UOS_RANDOM)>(TraxLibrary::UsrOss, "UOS_RANDOM", expected);
        QVERIFY(next);
        expected = *next;
        call();
        const QString shown = QString::number(static_cast<int32_t>(expected));
        QCOMPARE(box("txtRet")->text(), shown);
        QCOMPARE(arg(0)->text(), shown);
    }
    // The last result is offered to the next random call, also after another function.
    choose(QStringLiteral("UOS_Delay"));
    choose(QStringLiteral("UOS_RandomMap"));
    QCOMPARE(arg(0)->text(), QString::number(static_cast<int32_t>(expected)));
    arg(2)->setText(QStringLiteral("10"));
    call();
    const int mapped = box("txtRet")->text().toInt();
    QVERIFY(mapped >= 0 && mapped <= 10);
}

void UsrOssFormTest::randomMapStopsAtTheFirstBadArgument() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("UOS_RandomMap"));
    arg(1)->setText(QStringLiteral("low"));
    arg(2)->setText(QStringLiteral("high"));
    call();
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'min value' is not a valid number"));
    QCOMPARE(box("txtRet")->text(), QString());
    arg(0)->setText(QStringLiteral("&H"));
    call();
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'random value' is not a valid number"));
}

void UsrOssFormTest::microDelaysShowTheirStatus() {
    choose(QStringLiteral("UOS_MikroDelayInit"));
    call();
    QCOMPARE(box("txtRet")->text(), QStringLiteral("0"));
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("SUCCESS"));
    QCOMPARE(BoxColor(box("txtStatus")), QColor(0, 255, 0));
    choose(QStringLiteral("UOS_MikroDelay"));
    arg(0)->setText(QStringLiteral("1000"));
    call();
    QCOMPARE(box("txtRet")->text(), QStringLiteral("0"));
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("SUCCESS"));
    choose(QStringLiteral("UOS_Delay"));
    arg(0)->setText(QStringLiteral("20"));
    call();
    QVERIFY(box("txtRet")->text().toInt() >= 20);
}

void UsrOssFormTest::statusReturnsToNeutralWhenTheCallButtonLosesFocus() {
    QVERIFY(test::ActivateWindow(frmMain::existing()));
    choose(QStringLiteral("UOS_MikroDelayInit"));
    auto *button = child<QPushButton>("cmdCall");
    button->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(button->hasFocus());
    button->click();
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("SUCCESS"));
    child<QComboBox>("cboFunction")->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(box("txtStatus")->text(), QStringLiteral("STATUS"));
    QCOMPARE(BoxColor(box("txtStatus")), ButtonFaceColor());
}

// ---- Signal functions ----

void UsrOssFormTest::installByHexAndRemoveByDecimal() {
    press("cmdSigInit");
    QCOMPARE(sigStatus(), QStringLiteral("SUCCESS"));
    QCOMPARE(box("txtSigInitStatus")->text(), QStringLiteral("initialized"));
    installCode(QStringLiteral("&H100"));
    installCode(QStringLiteral("&h1ff"));
    QCOMPARE(listEntries("lstSigInstSigList"), QStringList({"&H100", "&H1FF"}));
    box("txtSigInstRemSigCode")->setText(QStringLiteral("256"));
    press("cmdSigRemove");
    QCOMPARE(sigStatus(), QStringLiteral("SUCCESS"));
    QCOMPARE(listEntries("lstSigInstSigList"), QStringList{"&H1FF"});
    press("cmdSigExit");
    QCOMPARE(box("txtSigInitStatus")->text(), QStringLiteral("not initialized"));
    QVERIFY(listEntries("lstSigInstSigList").isEmpty());
}

void UsrOssFormTest::aFailedInstallAddsNothing() {
    installCode(QStringLiteral("&H100")); // not initialized yet
    QCOMPARE(BoxColor(box("txtSigStatus")), QColor(255, 0, 0));
    press("cmdSigInit");
    for (const QString &code :
         {QStringLiteral("&H99"), QStringLiteral("&H200"), QStringLiteral("-1")}) {
        installCode(code);
        QCOMPARE(BoxColor(box("txtSigStatus")), QColor(255, 0, 0));
        QVERIFY(sigStatus() != QStringLiteral("SUCCESS"));
    }
    installCode(QStringLiteral("&H101"));
    installCode(QStringLiteral("&H101")); // already installed
    QCOMPARE(BoxColor(box("txtSigStatus")), QColor(255, 0, 0));
    QCOMPARE(listEntries("lstSigInstSigList"), QStringList{"&H101"});
    // A failed remove keeps the list too.
    box("txtSigInstRemSigCode")->setText(QStringLiteral("&H102"));
    press("cmdSigRemove");
    QCOMPARE(listEntries("lstSigInstSigList"), QStringList{"&H101"});
}

void UsrOssFormTest::aBadSignalCodeKeepsTheStatusLook() {
    MessageBoxCapture boxes;
    press("cmdSigInit");
    installCode(QStringLiteral("one"));
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'signal code' is not a valid number"));
    QCOMPARE(sigStatus(), QStringLiteral("SUCCESS"));
    box("txtSigWaitTimeout")->setText(QStringLiteral("soon"));
    press("cmdSigWait");
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'timeout' is not a valid number"));
    QCOMPARE(sigStatus(), QStringLiteral("SUCCESS"));
    QVERIFY(listEntries("lstSigInstSigList").isEmpty());
}

void UsrOssFormTest::maskAndUnmaskShowTheirState() {
    press("cmdSigInit");
    press("cmdSigMask");
    QCOMPARE(box("txtSigMaskStatus")->text(), QStringLiteral("masked"));
    press("cmdSigExit");
    QCOMPARE(box("txtSigMaskStatus")->text(), QStringLiteral("masked")); // exit keeps it
    press("cmdSigInit");
    press("cmdSigUnMask");
    QCOMPARE(box("txtSigMaskStatus")->text(), QStringLiteral("not masked"));
}

void UsrOssFormTest::sigWaitTimesOutAndReceives() {
    press("cmdSigInit");
    installCode(QStringLiteral("&H101"));
    box("txtSigWaitSigCode")->setText(QStringLiteral("old"));
    box("txtSigWaitTimeout")->setText(QStringLiteral("50"));
    press("cmdSigWait");
    QCOMPARE(BoxColor(box("txtSigStatus")), QColor(255, 0, 0));
    QCOMPARE(box("txtSigWaitSigCode")->text(), QString());

    QVERIFY(test::SendOwnSignal(0x101));
    box("txtSigWaitTimeout")->setText(QStringLiteral("5000"));
    press("cmdSigWait");
    QCOMPARE(sigStatus(), QStringLiteral("SUCCESS"));
    QCOMPARE(box("txtSigWaitSigCode")->text(), QStringLiteral("&H101"));
}

void UsrOssFormTest::handlerBoxAnsweredNoPassesNoHandler() {
    answerHandlerBox(QMessageBox::No);
    QVERIFY(!child<QCheckBox>("chkSigInitHdlr")->isChecked());
    QVERIFY(child<QGroupBox>("fraSigHdlr")->isHidden());

    // Without a handler the signal waits for UOS_SigWait instead of reaching the list.
    press("cmdSigInit");
    QVERIFY(!child<QCheckBox>("chkSigInitHdlr")->isEnabled());
    installCode(QStringLiteral("&H102"));
    QVERIFY(test::SendOwnSignal(0x102));
    box("txtSigWaitTimeout")->setText(QStringLiteral("5000"));
    press("cmdSigWait");
    QCOMPARE(box("txtSigWaitSigCode")->text(), QStringLiteral("&H102"));
    QTest::qWait(50);
    QVERIFY(listEntries("lstSigHdlrRecvdSigCode").isEmpty());
}

void UsrOssFormTest::handlerBoxAnsweredYesShowsTheHandler() {
    answerHandlerBox(QMessageBox::Yes);
    QVERIFY(child<QCheckBox>("chkSigInitHdlr")->isChecked());
    QVERIFY(!child<QGroupBox>("fraSigHdlr")->isHidden());
    SigHdlr(0x120);
    QCOMPARE(listEntries("lstSigHdlrRecvdSigCode").size(), 1);

    // Initialising empties the received list and locks the box until exit.
    press("cmdSigInit");
    QVERIFY(listEntries("lstSigHdlrRecvdSigCode").isEmpty());
    QVERIFY(!child<QCheckBox>("chkSigInitHdlr")->isEnabled());
    installCode(QStringLiteral("&H101"));
    QVERIFY(test::SendOwnSignal(0x101));
    QTRY_COMPARE(listEntries("lstSigHdlrRecvdSigCode"), QStringList{"0: &H101"});
    press("cmdSigExit");
    QVERIFY(child<QCheckBox>("chkSigInitHdlr")->isEnabled());

    // Unchecking hides the frame without asking.
    MessageBoxCapture boxes;
    child<QCheckBox>("chkSigInitHdlr")->setChecked(false);
    QVERIFY(child<QGroupBox>("fraSigHdlr")->isHidden());
    QCOMPARE(boxes.Count(), 0);
}

void UsrOssFormTest::clickingTheHandlerFrameAddsAnEntry() {
    QTest::mouseClick(child<QRadioButton>("optGrpSigFunc"), Qt::LeftButton);
    answerHandlerBox(QMessageBox::Yes);
    press("cmdSigInit");
    auto *frame = child<QGroupBox>("fraSigHdlr");
    auto *list = child<QListWidget>("lstSigHdlrRecvdSigCode");
    QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(4, frame->height() - 4));
    QCOMPARE(listEntries("lstSigHdlrRecvdSigCode"), QStringList{"0: &H111"});
    QCOMPARE(list->currentRow(), 0);
    QTest::mouseClick(frame, Qt::LeftButton, {}, QPoint(4, frame->height() - 4));
    QCOMPARE(listEntries("lstSigHdlrRecvdSigCode"), QStringList({"0: &H111", "1: &H111"}));
    QCOMPARE(list->currentRow(), 1);
    // The selection steps on from where the user put it.
    list->setCurrentRow(0);
    SigHdlr(0x111);
    QCOMPARE(list->currentRow(), 1);
    QVERIFY(listEntries("lstSigHdlrRecvdSigCode").last().endsWith(QStringLiteral("&H111")));
    // A press on the frame that is released elsewhere is no click.
    const int before = list->count();
    QTest::mousePress(frame, Qt::LeftButton, {}, QPoint(4, frame->height() - 4));
    QTest::mouseRelease(frame, Qt::LeftButton, {}, QPoint(frame->width() + 20, -20));
    QCOMPARE(list->count(), before);
    // After the flash the indicator shows the button face again.
    QTRY_COMPARE(form_->signalIndicator()->palette().color(QPalette::Window), ButtonFaceColor());
    QVERIFY(!test::SaveScreenshot(frmMain::existing(), QStringLiteral("main_window_usross_signals"))
                 .isEmpty());
}

void UsrOssFormTest::mouseOverTheSignalFrameNeutralisesTheStatus() {
    QTest::mouseClick(child<QRadioButton>("optGrpSigFunc"), Qt::LeftButton);
    press("cmdSigExit"); // not initialized: an error in red
    QCOMPARE(BoxColor(box("txtSigStatus")), QColor(255, 0, 0));
    auto *frame = child<QGroupBox>("fraSigFunc");
    QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), frame->mapToGlobal(QPointF(3, 3)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(frame, &move);
    QCOMPARE(sigStatus(), QStringLiteral("STATUS"));
    QCOMPARE(BoxColor(box("txtSigStatus")), ButtonFaceColor());

    // Over a button of the frame the move belongs to the button: its outcome stays.
    press("cmdSigExit");
    const QString outcome = sigStatus();
    QVERIFY(outcome != QStringLiteral("STATUS"));
    for (const char *name : {"cmdSigExit", "cmdSigWait", "lstSigInstSigList"}) {
        auto *control = child<QWidget>(name);
        QMouseEvent over(QEvent::MouseMove, QPointF(3, 3), control->mapToGlobal(QPointF(3, 3)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(control, &over);
        QCOMPARE(sigStatus(), outcome);
    }
}

void UsrOssFormTest::theIndicatorIsGreenForTheToneWhileTheWindowPaints() {
    QTest::mouseClick(child<QRadioButton>("optGrpSigFunc"), Qt::LeftButton);
    answerHandlerBox(QMessageBox::Yes);
    QVERIFY(QTest::qWaitForWindowExposed(frmMain::existing()));
    QFrame *indicator = form_->signalIndicator();
    const auto colour = [indicator] { return indicator->palette().color(QPalette::Window); };
    auto *painted = new PaintedColours(indicator);
    QElapsedTimer flash;
    flash.start();
    SigHdlr(0x111);
    // The handler did not wait for the tone: the indicator is still green, the entry is
    // there, and the window paints the green while the tone lasts.
    QCOMPARE(colour(), QColor(0, 255, 0));
    QCOMPARE(listEntries("lstSigHdlrRecvdSigCode").size(), 1);
    QTRY_VERIFY(painted->colours.contains(QColor(0, 255, 0)));
    QTRY_COMPARE(colour(), ButtonFaceColor());
    QVERIFY2(flash.elapsed() >= 250, qPrintable(QString::number(flash.elapsed())));
    QTRY_COMPARE(painted->colours.last(), ButtonFaceColor());
    delete painted;
}

// ---- Signals from other threads and processes ----

void UsrOssFormTest::signalsFromLibraryThreadsAreShownInOrderOnTheWindowThread() {
    watchReceivingThread();
    ResetReceivedSignalNumber();
    constexpr int kSignals = 40;
    std::thread library([] {
        for (uint32_t i = 0; i < kSignals; ++i)
            SigHdlr(0x100 + i);
    });
    library.join();
    QTRY_COMPARE(listEntries("lstSigHdlrRecvdSigCode").size(), kSignals);
    const QStringList entries = listEntries("lstSigHdlrRecvdSigCode");
    for (int i = 0; i < kSignals; ++i)
        QCOMPARE(entries[i], QStringLiteral("%1: %2").arg(i).arg(hexText(0x100 + i)));
    QCOMPARE(onWindowThread_, QList<bool>(kSignals, true));
}

void UsrOssFormTest::signalsFromASecondProcessArriveInOrder() {
    const QList<uint32_t> codes{0x105, 0x101, 0x1F0, 0x103, 0x102};
    QVERIFY(test::InitSignalsWithHandler(codes));
    watchReceivingThread();
    QVERIFY(test::SendFromSecondProcess(codes, 20));
    QTRY_COMPARE(listEntries("lstSigHdlrRecvdSigCode").size(), codes.size());
    QCOMPARE(listEntries("lstSigHdlrRecvdSigCode"),
             QStringList({"0: &H105", "1: &H101", "2: &H1F0", "3: &H103", "4: &H102"}));
    QCOMPARE(onWindowThread_, QList<bool>(codes.size(), true));
}

void UsrOssFormTest::signalsInQuickSuccessionAreAllRecorded() {
    QList<uint32_t> codes;
    for (uint32_t code = 0x140; code < 0x150; ++code)
        codes << code;
    QVERIFY(test::InitSignalsWithHandler(codes));
    QVERIFY(test::SendFromSecondProcess(codes, 0));
    QTRY_COMPARE(listEntries("lstSigHdlrRecvdSigCode").size(), codes.size());
    QStringList received;
    for (const QString &entry : listEntries("lstSigHdlrRecvdSigCode"))
        received << entry.section(QStringLiteral(": "), 1);
    received.sort();
    QStringList sent;
    for (uint32_t code : codes)
        sent << hexText(static_cast<int32_t>(code));
    QCOMPARE(received, sent);
}

void UsrOssFormTest::aSignalWhileTheFormIsClosedLoadsItHidden() {
    QVERIFY(test::InitSignalsWithHandler({0x101}));
    QPointer<frmUsrOss> first = form_;
    form_->parentWidget()->close(); // the sub-window
    QTRY_VERIFY(first.isNull());
    QVERIFY(frmMain::existing()->openForm(FormKind::UsrOss) == nullptr);
    auto *area = test::Child<QMdiArea>(frmMain::existing(), QStringLiteral("mdiArea"));
    QMdiSubWindow *active = area->activeSubWindow();

    QVERIFY(test::SendOwnSignal(0x101));
    QTRY_VERIFY(test::UsrOssForm() != nullptr);
    form_ = test::UsrOssForm();
    QTRY_COMPARE(listEntries("lstSigHdlrRecvdSigCode"), QStringList{"0: &H101"});
    QVERIFY(!form_->isVisible());
    QCOMPARE(area->activeSubWindow(), active); // the user's form stays in front
    QCOMPARE(box("txtSigInitStatus")->text(), QStringLiteral("not initialized")); // loaded afresh

    // Opening the form shows the instance that recorded the signal.
    frmMain::existing()->ShowUsrOssForm();
    QCOMPARE(frmMain::existing()->openForm(FormKind::UsrOss), form_);
    QVERIFY(form_->isVisible());
    QCOMPARE(listEntries("lstSigHdlrRecvdSigCode"), QStringList{"0: &H101"});
}

void UsrOssFormTest::aSignalRightAfterClosingIsNotLostWithTheClosedForm() {
    QPointer<frmUsrOss> closed = form_;
    form_->parentWidget()->close();
    // The closed form is deleted only when the event loop comes round; a signal handled
    // before that must go to a form that stays, not into the one about to go.
    SigHdlr(0x123);
    QTRY_VERIFY(closed.isNull());
    form_ = test::UsrOssForm();
    QVERIFY(form_ != nullptr);
    QVERIFY(!form_->isVisible());
    const QStringList entries = listEntries("lstSigHdlrRecvdSigCode");
    QCOMPARE(entries.size(), 1);
    QVERIFY(entries.first().endsWith(QStringLiteral(": &H123")));
    frmMain::existing()->ShowUsrOssForm();
    QCOMPARE(frmMain::existing()->openForm(FormKind::UsrOss), form_);
}

void UsrOssFormTest::missingLibraryIsReportedAndTheFormStaysUsable() {
    MessageBoxCapture boxes;
    SetLibraryFileOverride(TraxLibrary::UsrOss, QStringLiteral("/nonexistent/libvelk_usr_oss.so"));
    press("cmdSigInit");
    QCOMPARE(boxes.Count(), 1);
    QVERIFY(boxes.LastText().contains(QStringLiteral("velk_usr_oss")));
    QCOMPARE(sigStatus(), QStringLiteral("STATUS"));
    QCOMPARE(box("txtSigInitStatus")->text(), QStringLiteral("not initialized"));
    choose(QStringLiteral("UOS_Ident"));
    call();
    QCOMPARE(boxes.Count(), 2);
    QCOMPARE(box("txtRet")->text(), QString());

    SetLibraryFileOverride(TraxLibrary::UsrOss, QString());
    press("cmdSigInit");
    QCOMPARE(sigStatus(), QStringLiteral("SUCCESS"));
    QCOMPARE(boxes.Count(), 2);
}

TRAXGUI_TEST_MAIN(UsrOssFormTest)
#include "usross_test.moc"
