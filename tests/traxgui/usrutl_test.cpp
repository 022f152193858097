// The utility form: one printed line per call, the hex text and bit count passed on as the
// user typed them, non-numeric input refused before the bit dump, and the output area.
#include "formRegistry.h"
#include "frmMain.h"
#include "frmUsrUtl.h"
#include "libbinding.h"
#include "modTraxgui.h"
#include "pictureBox.h"
#include "traxguiTestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace traxgui;
using traxgui::test::MessageBoxCapture;

class UsrUtlFormTest : public QObject, test::FormControls<frmUsrUtl> {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void loadsWithTheDesignedTexts();
    void initialTextsGiveZeroAndAOneBitDump();
    void linesAccumulateUntilCls();
    void atoxPrintsTheSignPlace_data();
    void atoxPrintsTheSignPlace();
    void bindumpPassesValuesOn_data();
    void bindumpPassesValuesOn();
    void textThatIsNoNumberIsRefused_data();
    void textThatIsNoNumberIsRefused();
    void missingLibraryIsReportedAndTheFormStaysUsable();

  private:
    /// The printed lines; the last line end gives no empty line.
    QStringList lines();
};

void UsrUtlFormTest::init() {
    form_ = qobject_cast<frmUsrUtl *>(test::OpenFormInMainWindow(FormKind::UsrUtl, {1000, 760}));
    QVERIFY(form_);
}

void UsrUtlFormTest::cleanup() {
    delete frmMain::existing();
    SetLibraryFileOverride(TraxLibrary::UsrUtl, QString());
}

QStringList UsrUtlFormTest::lines() {
    QString text = child<PictureBox>("picOutput")->text();
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

void UsrUtlFormTest::loadsWithTheDesignedTexts() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("USR-UTL Library"));
    QCOMPARE(child<QLabel>("lblHexStrg")->text(), QStringLiteral("hex string (1..8 char):"));
    QCOMPARE(child<QLabel>("lblBitNbr")->text(), QStringLiteral("number of bits (1..32):"));
    QCOMPARE(child<QLabel>("lblOtput")->text(), QStringLiteral("Output window"));
    QCOMPARE(box("txtHexStr")->text(), QStringLiteral("0"));
    QCOMPARE(box("txtBitNbr")->text(), QStringLiteral("1"));
    QCOMPARE(child<QPushButton>("cmdUtlIdent")->text(), QStringLiteral("UTL_Ident()"));
    QCOMPARE(child<QPushButton>("cmdUtlAtox")->text(), QStringLiteral("UTL_Atox()"));
    QCOMPARE(child<QPushButton>("cmdUtlBindump")->text(), QStringLiteral("UTL_Bindump()"));
    QCOMPARE(child<QPushButton>("cmdCls")->text(), QStringLiteral("CLS"));
    for (const char *line : {"Line1", "Line2", "Line3"})
        QVERIFY(child<QFrame>(line));
    QVERIFY(lines().isEmpty());
}

void UsrUtlFormTest::initialTextsGiveZeroAndAOneBitDump() {
    MessageBoxCapture boxes;
    press("cmdUtlAtox");
    press("cmdUtlBindump");
    QCOMPARE(lines(), QStringList({QStringLiteral(" 0 "), QStringLiteral("0")}));
    QCOMPARE(boxes.Count(), 0);
}

void UsrUtlFormTest::linesAccumulateUntilCls() {
    press("cmdUtlIdent");
    press("cmdUtlIdent");
    box("txtHexStr")->setText(QStringLiteral("ff"));
    press("cmdUtlAtox");
    const QStringList printed = lines();
    QCOMPARE(printed.size(), 3);
    QVERIFY(!printed[0].isEmpty());
    QCOMPARE(printed[1], printed[0]);
    QCOMPARE(printed[2], QStringLiteral(" 255 "));
    QVERIFY(
        !test::SaveScreenshot(frmMain::existing(), QStringLiteral("main_window_usrutl")).isEmpty());
    press("cmdCls");
    QVERIFY(lines().isEmpty());
    press("cmdUtlAtox");
    QCOMPARE(lines(), QStringList{QStringLiteral(" 255 ")});
}

void UsrUtlFormTest::atoxPrintsTheSignPlace_data() {
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("line");
    QTest::newRow("positive") << "1A"
                              << " 26 ";
    QTest::newRow("all bits") << "FFFFFFFF"
                              << "-1 ";
    QTest::newRow("highest positive") << "7fffffff"
                                      << " 2147483647 ";
    // More than eight digits and text that is not hexadecimal go to the library unchanged.
    QTest::newRow("nine digits") << "123456789"
                                 << " 591751049 ";
    QTest::newRow("not hex") << "xyz"
                             << " 0 ";
    QTest::newRow("empty") << ""
                           << " 0 ";
}

void UsrUtlFormTest::atoxPrintsTheSignPlace() {
    QFETCH(QString, hex);
    QFETCH(QString, line);
    MessageBoxCapture boxes;
    box("txtHexStr")->setText(hex);
    press("cmdUtlAtox");
    QCOMPARE(lines(), QStringList{line});
    QCOMPARE(boxes.Count(), 0);
}

void UsrUtlFormTest::bindumpPassesValuesOn_data() {
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<QString>("line");
    QTest::newRow("six bits") << "2d"
                              << "6"
                              << "10 1101";
    QTest::newRow("all 32 bits") << "FFFFFFFF"
                                 << "32"
                                 << "1111 1111 1111 1111 1111 1111 1111 1111";
    // More than eight digits are passed on: the value of the last eight, as the library's
    // own conversion reads them.
    QTest::newRow("nine digits") << "123456789"
                                 << "32"
                                 << "0010 0011 0100 0101 0110 0111 1000 1001";
    QTest::newRow("twelve digits") << "fffFFFFFFFF0"
                                   << "8"
                                   << "1111 0000";
    // Bit counts outside 1..32 are passed on; the library judges them.
    QTest::newRow("zero bits") << "5"
                               << "0"
                               << "";
    QTest::newRow("40 bits") << "1"
                             << "40"
                             << "0000 0000 0000 0000 0000 0000 0000 0001";
    QTest::newRow("-1 bits") << "3"
                             << "-1"
                             << "0000 0000 0000 0000 0000 0000 0000 0011";
}

void UsrUtlFormTest::bindumpPassesValuesOn() {
    QFETCH(QString, hex);
    QFETCH(QString, bits);
    QFETCH(QString, line);
    MessageBoxCapture boxes;
    box("txtHexStr")->setText(hex);
    box("txtBitNbr")->setText(bits);
    press("cmdUtlBindump");
    QCOMPARE(child<PictureBox>("picOutput")->text(), line + u'\n');
    QCOMPARE(boxes.Count(), 0);
}

void UsrUtlFormTest::textThatIsNoNumberIsRefused_data() {
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("bits");
    QTest::addColumn<QString>("warning");
    const QString badHex = QStringLiteral("argument 'hex string' is not a valid number");
    const QString badBits = QStringLiteral("argument 'number of bits' is not a valid number");
    QTest::newRow("not hex") << "xyz"
                             << "8" << badHex;
    QTest::newRow("empty hex") << ""
                               << "8" << badHex;
    QTest::newRow("not hex after eight digits") << "12345678x"
                                                << "8" << badHex;
    QTest::newRow("hex with prefix") << "&H10"
                                     << "8" << badHex;
    QTest::newRow("bits not a number") << "10"
                                       << "eight" << badBits;
    QTest::newRow("bits empty") << "10"
                                << "" << badBits;
    QTest::newRow("both bad") << "g"
                              << "x" << badHex;
}

void UsrUtlFormTest::textThatIsNoNumberIsRefused() {
    QFETCH(QString, hex);
    QFETCH(QString, bits);
    QFETCH(QString, warning);
    MessageBoxCapture boxes;
    box("txtHexStr")->setText(hex);
    box("txtBitNbr")->setText(bits);
    press("cmdUtlBindump");
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.LastText(), warning);
    QCOMPARE(boxes.Last().icon, QMessageBox::Warning);
    QVERIFY(lines().isEmpty());
}

void UsrUtlFormTest::missingLibraryIsReportedAndTheFormStaysUsable() {
    MessageBoxCapture boxes;
    SetLibraryFileOverride(TraxLibrary::UsrUtl, QStringLiteral("/nonexistent/libvelk_usr_utl.so"));
    press("cmdUtlIdent");
    press("cmdUtlBindump");
    QCOMPARE(boxes.Count(), 2);
    QVERIFY(boxes.LastText().contains(QStringLiteral("velk_usr_utl")));
    QVERIFY(lines().isEmpty());
    SetLibraryFileOverride(TraxLibrary::UsrUtl, QString());
    press("cmdUtlAtox");
    QCOMPARE(lines(), QStringList{QStringLiteral(" 0 ")});
    QCOMPARE(boxes.Count(), 2);
}

TRAXGUI_TEST_MAIN(UsrUtlFormTest)
#include "usrutl_test.moc"
