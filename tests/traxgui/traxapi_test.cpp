// The device API form: function layouts, argument checks, block mode, the data buffer
// editor, the status box, and a real session with the simulated binary I/O device.
#include "formRegistry.h"
#include "frmMain.h"
#include "frmTraxApi.h"
#include "libbinding.h"
#include "modTraxgui.h"
#include "pictureBox.h"
#include "traxformat.h"
#include "traxguiTestSupport.h"

#include <trax_codes.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenuBar>
#include <QPushButton>

using namespace traxgui;
using traxgui::test::MessageBoxCapture;
using traxgui::test::TypeText;

class TraxApiFormTest : public QObject, test::FormControls<frmTraxApi> {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void loadsWithTheListAndNoFunctionChosen();
    void callBeforeChoosingIsAnUnknownFunction();
    void eachFunctionLaysOutItsArguments_data();
    void eachFunctionLaysOutItsArguments();
    void typingAStatusCodeSwitchesBlockModeAndBack();
    void nonBlockStatusCallsResetBlockSize();
    void blockSizeOutOfRangeIsRefused();
    void blockSetstatShowsTheSizeUsed();
    void blockLengthIsChecked_data();
    void blockLengthIsChecked();
    void invalidArgumentsStopTheCall();
    void openWithoutNameIsRefused();
    void openOfAnUnknownDeviceKeepsNoPath_data();
    void openOfAnUnknownDeviceKeepsNoPath();
    void closeWithoutPathPassesPathZero();
    void errstringShowsAddressAndTextWithoutStatusColour();
    void aLongErrorTextShowsItsNameAndWholeInTheTooltip();
    void captionsAndBoxesKeepTheirColumns();
    void autoIncrementStopsAfterByte63();
    void valueBoxChecksItsRangeAndTakesEnter();
    void clearAllEmptiesTheBuffer();
    void statusReturnsToNeutralWhenTheButtonLosesFocus();
    void sessionWithTheBinaryIoDevice();
    void missingLibraryIsReportedAndTheFormStaysUsable();

  private:
    QString statusPanel() {
        return test::Child<QLabel>(frmMain::existing(), QStringLiteral("Status"))->text();
    }
};

void TraxApiFormTest::init() {
    form_ = qobject_cast<frmTraxApi *>(test::OpenFormInMainWindow(FormKind::TraxApi, {1000, 760}));
    QVERIFY(form_);
}

void TraxApiFormTest::cleanup() {
    delete frmMain::existing();
    SetLibraryFileOverride(TraxLibrary::TraxApi, QString());
}

void TraxApiFormTest::loadsWithTheListAndNoFunctionChosen() {
    auto *combo = child<QComboBox>("cboFunction");
    QVERIFY(combo);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, QStringList({"M_open", "M_close", "M_read", "M_write", "M_getstat", "M_setstat",
                                 "M_getblock", "M_setblock", "M_errstring"}));
    QCOMPARE(combo->currentText(), QStringLiteral("----------------- function -----------------"));
    QCOMPARE(combo->currentIndex(), -1);
    QVERIFY(!child<QGroupBox>("fraBuffer")->isVisible());
    QVERIFY(!child<QGroupBox>("fraString")->isVisible());
    QVERIFY(!child<QGroupBox>("fraBlk")->isVisible());
    for (int i = 0; i < 3; ++i) {
        QVERIFY(arg(i)->isVisible() && arg(i)->isEnabled());
        QCOMPARE(arg(i)->text(), QString());
        QCOMPARE(argLabel(i)->text(), QStringLiteral("Argument %1").arg(i + 1));
    }
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("STATUS"));
    QCOMPARE(CurrentPath, 0);
    QCOMPARE(statusPanel(), QStringLiteral("Status: no path opened"));
    QCOMPARE(child<QLabel>("lblBufValue")->text(), QStringLiteral("Value (&H0..FF)"));
}

void TraxApiFormTest::callBeforeChoosingIsAnUnknownFunction() {
    MessageBoxCapture boxes;
    call();
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.LastText(), QStringLiteral("unknown TRAX-API function"));
    QCOMPARE(boxes.Last().icon, QMessageBox::Warning);
}

void TraxApiFormTest::eachFunctionLaysOutItsArguments_data() {
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("ret");
    QTest::addColumn<QStringList>("labels"); // "" = hidden
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QList<bool>>("enabled");
    QTest::addColumn<bool>("buffer");
    QTest::newRow("M_open") << "M_open"
                            << "path number" << QStringList{"device name", "", ""}
                            << QStringList{"", "", ""} << QList<bool>{true, false, false} << false;
    QTest::newRow("M_close") << "M_close"
                             << "error code" << QStringList{"path number", "", ""}
                             << QStringList{"0", "", ""} << QList<bool>{false, false, false}
                             << false;
    QTest::newRow("M_read") << "M_read"
                            << "error code" << QStringList{"path number", "value", ""}
                            << QStringList{"0", "0", ""} << QList<bool>{false, false, false}
                            << false;
    QTest::newRow("M_write") << "M_write"
                             << "error code" << QStringList{"path number", "value", ""}
                             << QStringList{"0", "0", ""} << QList<bool>{false, true, false}
                             << false;
    QTest::newRow("M_getstat") << "M_getstat"
                               << "error code" << QStringList{"path number", "status code", "data"}
                               << QStringList{"0", "&H1000", "&H0"}
                               << QList<bool>{false, true, true} << false;
    QTest::newRow("M_setblock") << "M_setblock"
                                << "written bytes"
                                << QStringList{"path number", "buffer address", "length (max 64)"}
                                << QStringList{"0", "<addr>", "0"}
                                << QList<bool>{false, false, true} << true;
    QTest::newRow("M_errstring") << "M_errstring"
                                 << "string address" << QStringList{"error code (hex)", "", ""}
                                 << QStringList{"&He00e0000", "", ""}
                                 << QList<bool>{true, false, false} << false;
}

void TraxApiFormTest::eachFunctionLaysOutItsArguments() {
    QFETCH(QString, function);
    QFETCH(QString, ret);
    QFETCH(QStringList, labels);
    QFETCH(QStringList, texts);
    QFETCH(QList<bool>, enabled);
    QFETCH(bool, buffer);
    choose(function);
    QCOMPARE(child<QLabel>("lblRet")->text(), ret);
    for (int i = 0; i < 3; ++i) {
        const bool shown = !labels[i].isEmpty();
        QCOMPARE(argLabel(i)->isVisible(), shown);
        QCOMPARE(arg(i)->isVisible(), shown);
        QCOMPARE(argLabel(i)->text(), labels[i]);
        if (texts[i] == QLatin1String("<addr>"))
            QCOMPARE(arg(i)->text(), addressText(form_->DataBuf().data()));
        else
            QCOMPARE(arg(i)->text(), texts[i]);
        if (shown)
            QCOMPARE(arg(i)->isEnabled(), enabled[i]);
    }
    QCOMPARE(child<QGroupBox>("fraBuffer")->isVisible(), buffer);
    QCOMPARE(child<QGroupBox>("fraString")->isVisible(), function == QLatin1String("M_errstring"));
    QCOMPARE(box("txtStatus")->isVisible(), function != QLatin1String("M_errstring"));
}

void TraxApiFormTest::typingAStatusCodeSwitchesBlockModeAndBack() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_getstat"));
    TypeText(arg(2), QStringLiteral("&H77"));
    QCOMPARE(boxes.Count(), 0);

    // "&" and "&H" are not numbers yet; each brings the warning at once.
    TypeText(arg(1), QStringLiteral("&H2101"));
    QCOMPARE(boxes.Count(), 2);
    QCOMPARE(boxes.Boxes()[0].text, QStringLiteral("argument 'status code' is not a valid number"));
    QVERIFY(child<QGroupBox>("fraBlk")->isVisible());
    QVERIFY(child<QGroupBox>("fraBuffer")->isVisible());
    QCOMPARE(arg(2)->text(), QStringLiteral("<block addr>"));
    QVERIFY(!arg(2)->isEnabled());

    TypeText(arg(1), QStringLiteral("4096"));
    QVERIFY(!child<QGroupBox>("fraBlk")->isVisible());
    QVERIFY(!child<QGroupBox>("fraBuffer")->isVisible());
    QCOMPARE(arg(2)->text(), QStringLiteral("&H77"));
    QVERIFY(arg(2)->isEnabled());

    // A new choice of function clears block mode and the saved data text.
    TypeText(arg(1), QStringLiteral("8192"));
    QVERIFY(child<QGroupBox>("fraBlk")->isVisible());
    choose(QStringLiteral("M_setstat"));
    QVERIFY(!child<QGroupBox>("fraBlk")->isVisible());
    TypeText(arg(1), QStringLiteral("8192"));
    TypeText(arg(1), QStringLiteral("1"));
    QCOMPARE(arg(2)->text(), QStringLiteral("&H0"));
}

void TraxApiFormTest::nonBlockStatusCallsResetBlockSize() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_getstat"));
    box("txtBlkSize")->setText(QStringLiteral("12"));
    call(); // no path: the library fails, the size box still shows 0
    QCOMPARE(box("txtBlkSize")->text(), QStringLiteral("0"));
    QCOMPARE(box("txtStatus")->palette().color(QPalette::Base), QColor(255, 0, 0));
    QVERIFY(box("txtRet")->text().toInt() < 0);

    choose(QStringLiteral("M_setstat"));
    box("txtBlkSize")->setText(QStringLiteral("12"));
    call();
    QCOMPARE(box("txtBlkSize")->text(), QStringLiteral("0"));
    QCOMPARE(arg(1)->text(), QStringLiteral("&H1000"));
    QCOMPARE(boxes.Count(), 0);
}

void TraxApiFormTest::blockSizeOutOfRangeIsRefused() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_getstat"));
    TypeText(arg(1), QStringLiteral("8449"));
    for (const QString &size : {QStringLiteral("65"), QStringLiteral("-1")}) {
        box("txtBlkSize")->setText(size);
        box("txtRet")->setText(QStringLiteral("untouched"));
        call();
        QCOMPARE(boxes.LastText(), QStringLiteral("'blk.size' out of range (0..64)"));
        QCOMPARE(box("txtRet")->text(), QStringLiteral("untouched"));
    }
}

void TraxApiFormTest::blockSetstatShowsTheSizeUsed() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_setstat"));
    TypeText(arg(1), QStringLiteral("8449"));
    QCOMPARE(boxes.Count(), 0);
    box("txtBlkSize")->setText(QStringLiteral("5"));
    auto *dump = child<PictureBox>("picBufData");
    dump->cls();
    call(); // no path: the library refuses, the form still shows what it passed
    QCOMPARE(box("txtBlkSize")->text(), QStringLiteral("5"));
    QCOMPARE(arg(1)->text(), QStringLiteral("&H2101"));
    QCOMPARE(arg(2)->text(), QStringLiteral("<block addr>"));
    QCOMPARE(dump->text().split(u'\n').size(), 8);
    QVERIFY(box("txtRet")->text().toInt() < 0);
    QCOMPARE(box("txtStatus")->palette().color(QPalette::Base), QColor(255, 0, 0));
    QCOMPARE(boxes.Count(), 0);
}

void TraxApiFormTest::blockLengthIsChecked_data() {
    QTest::addColumn<QString>("length");
    QTest::addColumn<bool>("called");
    QTest::newRow("65") << "65" << false;
    QTest::newRow("-1") << "-1" << false;
    QTest::newRow("0") << "0" << true;
    QTest::newRow("64") << "64" << true;
}

void TraxApiFormTest::blockLengthIsChecked() {
    QFETCH(QString, length);
    QFETCH(bool, called);
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_getblock"));
    auto *dump = child<PictureBox>("picBufData");
    dump->cls();
    arg(2)->setText(length);
    call();
    if (!called) {
        QCOMPARE(boxes.LastText(), QStringLiteral("'length' out of range (0..64)"));
        QCOMPARE(boxes.Last().icon, QMessageBox::Warning);
        QCOMPARE(box("txtRet")->text(), QString());
        QCOMPARE(dump->text(), QString());
        return;
    }
    QCOMPARE(boxes.Count(), 0);
    QVERIFY(!box("txtRet")->text().isEmpty());     // the library answered (no path: an error)
    QCOMPARE(dump->text().split(u'\n').size(), 8); // the whole buffer is redrawn
}

void TraxApiFormTest::invalidArgumentsStopTheCall() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_write"));
    arg(1)->setText(QStringLiteral("1x"));
    call();
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'value' is not a valid number"));
    QCOMPARE(box("txtRet")->text(), QString());
    QCOMPARE(arg(1)->text(), QStringLiteral("1x"));

    choose(QStringLiteral("M_getstat"));
    arg(2)->setText(QStringLiteral("zz"));
    call();
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'data' is not a valid number"));
    QCOMPARE(box("txtRet")->text(), QString());

    choose(QStringLiteral("M_errstring"));
    arg(0)->setText(QStringLiteral("&H"));
    call();
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'error code' is not a valid number"));
}

void TraxApiFormTest::openWithoutNameIsRefused() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_open"));
    call();
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.LastText(), QStringLiteral("invalid device name"));
    QCOMPARE(boxes.Last().icon, QMessageBox::NoIcon);
    QCOMPARE(boxes.Last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box("txtRet")->text(), QString());
}

void TraxApiFormTest::openOfAnUnknownDeviceKeepsNoPath_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("unknown") << "sim_none_9";
    QTest::newRow("very long") << QString(100000, QChar(u'd'));
    QTest::newRow("not single-byte") << QString::fromUtf8("sim_dio_\xe2\x82\xac");
    QTest::newRow("blank") << " ";
}

void TraxApiFormTest::openOfAnUnknownDeviceKeepsNoPath() {
    QFETCH(QString, name);
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_open"));
    arg(0)->setText(name);
    call();
    QCOMPARE(boxes.Count(), 0);
    QVERIFY(box("txtRet")->text().toInt() < 0);
    QCOMPARE(box("txtStatus")->palette().color(QPalette::Base), QColor(255, 0, 0));
    QVERIFY(!box("txtStatus")->text().isEmpty());
    QCOMPARE(CurrentPath, 0);
    QCOMPARE(statusPanel(), QStringLiteral("Status: no path opened"));
}

void TraxApiFormTest::closeWithoutPathPassesPathZero() {
    choose(QStringLiteral("M_close"));
    QCOMPARE(arg(0)->text(), QStringLiteral("0"));
    call();
    QCOMPARE(box("txtRet")->text(), QStringLiteral("-1"));
    QCOMPARE(box("txtStatus")->palette().color(QPalette::Base), QColor(255, 0, 0));
    QVERIFY(box("txtStatus")->text() != QStringLiteral("STATUS"));
    QCOMPARE(CurrentPath, 0);
    QCOMPARE(statusPanel(), QStringLiteral("Status: no path opened"));
}

void TraxApiFormTest::errstringShowsAddressAndTextWithoutStatusColour() {
    choose(QStringLiteral("M_errstring"));
    const QColor before = box("txtStatus")->palette().color(QPalette::Base);
    call();
    const QString address = box("txtRet")->text();
    QVERIFY(address.startsWith(QStringLiteral("&H")));
    bool ok = false;
    const qulonglong value = address.mid(2).toULongLong(&ok, 16);
    QVERIFY(ok);
    QCOMPARE(box("txtString")->text(), PtrToString(reinterpret_cast<const char *>(value)));
    QVERIFY(!box("txtString")->text().isEmpty());
    QVERIFY(!box("txtStatus")->isVisible());
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("STATUS"));
    QCOMPARE(box("txtStatus")->palette().color(QPalette::Base), before);
    QVERIFY(!test::SaveScreenshot(form_, QStringLiteral("traxapi_errstring")).isEmpty());
}

void TraxApiFormTest::autoIncrementStopsAfterByte63() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_setblock"));
    child<QCheckBox>("chkBufAutoinc")->setChecked(true);
    box("txtBufByte")->setText(QStringLiteral("62"));
    box("txtBufValue")->setText(QStringLiteral("&H41"));
    child<QPushButton>("cmdBufSetByte")->click();
    QCOMPARE(box("txtBufByte")->text(), QStringLiteral("63"));
    box("txtBufValue")->setText(QStringLiteral("66"));
    child<QPushButton>("cmdBufSetByte")->click();
    QCOMPARE(form_->DataBuf()[62], uint8_t{0x41});
    QCOMPARE(form_->DataBuf()[63], uint8_t{66});
    QCOMPARE(box("txtBufByte")->text(), QStringLiteral("64"));
    QVERIFY(child<PictureBox>("picBufData")->text().endsWith(QStringLiteral("0x41 0x42 ")));
    QCOMPARE(boxes.Count(), 0);
    child<QPushButton>("cmdBufSetByte")->click();
    QCOMPARE(boxes.LastText(), QStringLiteral("'Byte' out of range (0..63)"));
    QCOMPARE(box("txtBufByte")->text(), QStringLiteral("64"));
}

void TraxApiFormTest::valueBoxChecksItsRangeAndTakesEnter() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_setblock"));
    box("txtBufByte")->setText(QStringLiteral("3"));
    box("txtBufValue")->setText(QStringLiteral("256"));
    QTest::keyClick(box("txtBufValue"), Qt::Key_Return);
    QCOMPARE(boxes.LastText(), QStringLiteral("'Value' out of range (0x00..0xFF)"));
    QCOMPARE(form_->DataBuf()[3], uint8_t{0});
    box("txtBufValue")->setText(QStringLiteral("&HFF"));
    QTest::keyClick(box("txtBufValue"), Qt::Key_Return);
    QCOMPARE(form_->DataBuf()[3], uint8_t{0xFF});
    QCOMPARE(box("txtBufValue")->text(), QStringLiteral("&HFF")); // Enter adds no character
    QCOMPARE(box("txtBufByte")->text(), QStringLiteral("3"));     // no auto-increment
    box("txtBufByte")->setText(QStringLiteral("x"));
    child<QPushButton>("cmdBufSetByte")->click();
    QCOMPARE(boxes.LastText(), QStringLiteral("argument 'Byte' is not a valid number"));
}

void TraxApiFormTest::clearAllEmptiesTheBuffer() {
    choose(QStringLiteral("M_setblock"));
    box("txtBufByte")->setText(QStringLiteral("5"));
    box("txtBufValue")->setText(QStringLiteral("&H7F"));
    child<QPushButton>("cmdBufSetByte")->click();
    child<QPushButton>("cmdBufClrAll")->click();
    QVERIFY(std::all_of(form_->DataBuf().begin(), form_->DataBuf().end(),
                        [](uint8_t b) { return b == 0; }));
    QCOMPARE(box("txtBufByte")->text(), QStringLiteral("0"));
    QCOMPARE(box("txtBufValue")->text(), QStringLiteral("&H0"));
    QVERIFY(child<PictureBox>("picBufData")->text().startsWith(QStringLiteral("  0 | 0x00 0x00")));
}

void TraxApiFormTest::statusReturnsToNeutralWhenTheButtonLosesFocus() {
    QVERIFY(test::ActivateWindow(frmMain::existing()));
    choose(QStringLiteral("M_close"));
    auto *button = child<QPushButton>("cmdCall");
    button->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(button->hasFocus());
    button->click();
    QVERIFY(box("txtStatus")->text() != QStringLiteral("STATUS"));
    box("txtBufByte")->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(box("txtStatus")->text(), QStringLiteral("STATUS"));
    QCOMPARE(box("txtStatus")->palette().color(QPalette::Base), ButtonFaceColor());

    // Going to the menu bar with the keyboard is no click into another control.
    button->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(button->hasFocus());
    button->click();
    const QString outcome = box("txtStatus")->text();
    QVERIFY(outcome != QStringLiteral("STATUS"));
    frmMain::existing()->menuBar()->setFocus(Qt::MenuBarFocusReason);
    QTRY_VERIFY(!button->hasFocus());
    QCOMPARE(box("txtStatus")->text(), outcome);
    button->setFocus(Qt::MenuBarFocusReason);
    QTRY_VERIFY(button->hasFocus());

    // Clicking into a control of another child window counts as well.
    frmMain::existing()->ShowUsrUtlForm();
    QWidget *other = frmMain::existing()->openForm(FormKind::UsrUtl);
    QVERIFY(other != nullptr);
    auto *otherBox = other->findChild<QLineEdit *>(QStringLiteral("txtHexStr"));
    QVERIFY(otherBox != nullptr);
    frmMain::existing()->ShowTraxApiForm();
    button->setFocus(Qt::MouseFocusReason);
    QTRY_VERIFY(button->hasFocus());
    button->click();
    QVERIFY(box("txtStatus")->text() != QStringLiteral("STATUS"));
    QTest::mouseClick(otherBox, Qt::LeftButton);
    QTRY_VERIFY(otherBox->hasFocus());
    QTRY_COMPARE(box("txtStatus")->text(), QStringLiteral("STATUS"));
}

void TraxApiFormTest::aLongErrorTextShowsItsNameAndWholeInTheTooltip() {
    choose(QStringLiteral("M_open"));
    arg(0)->setText(QStringLiteral("sim_dio_1"));
    call();
    choose(QStringLiteral("M_getstat"));
    arg(1)->setText(QStringLiteral("&H13FF")); // a board code that the board does not know
    call();
    QLineEdit *status = box("txtStatus");
    const QString error =
        QStringLiteral("ERR_BBIS_UNK_CODE: status code not supported by the board");
    QCOMPARE(status->text(), error);
    QCOMPARE(status->cursorPosition(), 0); // the start, with the error's name, is what shows
    QCOMPARE(status->toolTip(), error);
    // Narrowed below the text's width, the box still shows the name.
    status->setFixedWidth(status->fontMetrics().horizontalAdvance(error) / 2);
    QCOMPARE(status->cursorPosition(), 0);
    QVERIFY(status->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() < status->width() / 4);

    arg(1)->setText(QStringLiteral("&H1101"));
    call();
    QCOMPARE(status->text(), QStringLiteral("SUCCESS"));
    QCOMPARE(status->toolTip(), QStringLiteral("status of function call"));
    choose(QStringLiteral("M_close"));
    call();
}

void TraxApiFormTest::captionsAndBoxesKeepTheirColumns() {
    checkArgumentColumnsStay();
}

void TraxApiFormTest::sessionWithTheBinaryIoDevice() {
    MessageBoxCapture boxes;
    choose(QStringLiteral("M_open"));
    arg(0)->setText(QStringLiteral("sim_dio_1"));
    call();
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("SUCCESS"));
    QCOMPARE(box("txtStatus")->palette().color(QPalette::Base), QColor(0, 255, 0));
    const int path = box("txtRet")->text().toInt();
    QVERIFY(path > 0);
    QCOMPARE(CurrentPath, path);
    QCOMPARE(statusPanel(), QStringLiteral("Status: path to device 'sim_dio_1' opened"));

    choose(QStringLiteral("M_write"));
    QCOMPARE(arg(0)->text(), QString::number(path));
    arg(1)->setText(QStringLiteral("1"));
    call();
    QCOMPARE(box("txtRet")->text(), QStringLiteral("0"));
    choose(QStringLiteral("M_read"));
    call();
    QCOMPARE(arg(1)->text(), QStringLiteral("1"));
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("SUCCESS"));

    choose(QStringLiteral("M_getstat"));
    arg(1)->setText(QStringLiteral("&H1101")); // number of channels
    call();
    QCOMPARE(arg(2)->text(), QStringLiteral("&H10"));

    // Block transfer through the 64-byte buffer: write a pattern, clear, read it back.
    choose(QStringLiteral("M_setblock"));
    child<QCheckBox>("chkBufAutoinc")->setChecked(true);
    for (int value : {0x54, 0x52, 0x41, 0x58}) {
        box("txtBufValue")->setText(QString::number(value));
        child<QPushButton>("cmdBufSetByte")->click();
    }
    arg(2)->setText(QStringLiteral("4"));
    call();
    QCOMPARE(box("txtRet")->text(), QStringLiteral("4"));
    child<QPushButton>("cmdBufClrAll")->click();
    choose(QStringLiteral("M_getblock"));
    arg(2)->setText(QStringLiteral("64"));
    call();
    QCOMPARE(box("txtRet")->text(), QStringLiteral("64"));
    QCOMPARE(box("txtBufData")->text(), QStringLiteral("TRAX"));

    // A block status code: the id-prom contents arrive in the buffer.
    child<QPushButton>("cmdBufClrAll")->click();
    choose(QStringLiteral("M_getstat"));
    arg(1)->setText(QStringLiteral("&H2101"));
    box("txtBlkSize")->setText(QStringLiteral("64"));
    call();
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("SUCCESS"));
    const int delivered = box("txtBlkSize")->text().toInt();
    QVERIFY(delivered > 0 && delivered <= 64);
    QVERIFY(std::any_of(form_->DataBuf().begin(), form_->DataBuf().end(),
                        [](uint8_t b) { return b != 0; }));
    QVERIFY(!test::SaveScreenshot(frmMain::existing(), QStringLiteral("main_window_traxapi"))
                 .isEmpty());

    choose(QStringLiteral("M_close"));
    call();
    QCOMPARE(box("txtStatus")->text(), QStringLiteral("SUCCESS"));
    QCOMPARE(CurrentPath, 0);
    QCOMPARE(statusPanel(), QStringLiteral("Status: no path opened"));
    QCOMPARE(boxes.Count(), 0);
}

void TraxApiFormTest::missingLibraryIsReportedAndTheFormStaysUsable() {
    MessageBoxCapture boxes;
    SetLibraryFileOverride(TraxLibrary::TraxApi,
                           QStringLiteral("/nonexistent/libvelk_trax_api.so"));
    choose(QStringLiteral("M_close"));
    call();
    QCOMPARE(boxes.Count(), 1);
    QVERIFY(boxes.LastText().contains(QStringLiteral("velk_trax_api")));
    QCOMPARE(box("txtRet")->text(), QString());

    // A library without the entry: the entry is named.
    SetLibraryFileOverride(TraxLibrary::TraxApi, QCoreApplication::applicationDirPath() +
                                                     QStringLiteral("/libvelk_usr_utl.so"));
    call();
    QCOMPARE(boxes.Count(), 2);
    QVERIFY(boxes.LastText().contains(QStringLiteral("M_CLOSE")));

    SetLibraryFileOverride(TraxLibrary::TraxApi, QString());
    call();
    QCOMPARE(boxes.Count(), 2);
    QCOMPARE(box("txtRet")->text(), QStringLiteral("-1"));
}

TRAXGUI_TEST_MAIN(TraxApiFormTest)
#include "traxapi_test.moc"
