// The shared helpers: argument conversion, hexadecimal display, buffer dumps, library
// strings, status display and the argument-box primitives.
#include "libbinding.h"
#include "modTraxgui.h"
#include "msgbox.h"
#include "pictureBox.h"
#include "traxformat.h"
#include "traxguiTestSupport.h"

#include <trax_api.h>
#include <trax_errors.h>
#include <trax_win32.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <array>
#include <numeric>

using namespace traxgui;
using traxgui::test::MessageBoxCapture;

class HelpersTest : public QObject {
    Q_OBJECT

  private slots:
    void argToLongAccepts_data();
    void argToLongAccepts();
    void argToLongRejects_data();
    void argToLongRejects();
    void hexTextShowsThe32BitPattern();
    void addressTextKeepsEverySignificantDigit();
    void dumpOfNoBytesPrintsNothingButFillsTheTextBox();
    void dumpOf64BytesPrintsEightAlignedRows();
    void dumpStopsAtLength();
    void textOfNullAddressIsEmpty();
    void traxStatusOfSuccessIsGreen_data();
    void traxStatusOfSuccessIsGreen();
    void traxStatusOfFailureShowsTheCapturedErrorText();
    void ossStatusUsesTheReturnValueAsErrorCode();
    void waitingAndNeutralLooks();
    void clearBufferZeroesEveryByte();
    void labelAndBoxPrimitives();
    void realMessageBoxShowsItsTextAsItIs();
    void libraryIsLoadedFromBuildThenInstallationThenSearchPath_data();
    void libraryIsLoadedFromBuildThenInstallationThenSearchPath();
};

void HelpersTest::argToLongAccepts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::newRow("decimal") << "4096" << 4096;
    QTest::newRow("minus one") << "-1" << -1;
    QTest::newRow("plus sign") << "+7" << 7;
    QTest::newRow("hex upper prefix") << "&H10" << 16;
    QTest::newRow("hex lower prefix") << "&h10" << 16;
    QTest::newRow("hex lower digits") << "&Hff" << 255;
    QTest::newRow("eight digits give the pattern") << "&He00e0000" << static_cast<int>(0xE00E0000u);
    QTest::newRow("all bits") << "&HFFFFFFFF" << -1;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << static_cast<int>(INT32_MIN);
    QTest::newRow("leading zeros") << "&H00000001" << 1;
}

void HelpersTest::argToLongAccepts() {
    QFETCH(QString, text);
    QFETCH(int, value);
    MessageBoxCapture boxes;
    int32_t result = 12345;
    QVERIFY(ArgToLong(text, result, QStringLiteral("value")));
    QCOMPARE(result, value);
    QCOMPARE(boxes.Count(), 0);
}

void HelpersTest::argToLongRejects_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("prefix without digits") << "&H";
    QTest::newRow("digits and a letter") << "12g";
    QTest::newRow("hex with a non-hex letter") << "&H1G";
    QTest::newRow("nine hex digits") << "&H100000000";
    QTest::newRow("too large") << "2147483648";
    QTest::newRow("too small") << "-2147483649";
    QTest::newRow("sign only") << "-";
    QTest::newRow("blank around") << " 5";
    QTest::newRow("octal prefix") << "&O17";
    QTest::newRow("fraction") << "1.5";
    QTest::newRow("very long") << QString(10000, QChar(u'9'));
}

void HelpersTest::argToLongRejects() {
    QFETCH(QString, text);
    MessageBoxCapture boxes;
    int32_t result = 12345;
    QVERIFY(!ArgToLong(text, result, QStringLiteral("status code")));
    QCOMPARE(result, 12345);
    QCOMPARE(boxes.Count(), 1);
    QCOMPARE(boxes.Last().text, QStringLiteral("argument 'status code' is not a valid number"));
    QCOMPARE(boxes.Last().icon, QMessageBox::Warning);
    QCOMPARE(boxes.Last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(boxes.Last().title, QStringLiteral("traxgui (free build)"));
}

void HelpersTest::hexTextShowsThe32BitPattern() {
    QCOMPARE(hexText(0), QStringLiteral("&H0"));
    QCOMPARE(hexText(0x1000), QStringLiteral("&H1000"));
    QCOMPARE(hexText(0xabc), QStringLiteral("&HABC"));
    QCOMPARE(hexText(-1), QStringLiteral("&HFFFFFFFF"));
    QCOMPARE(hexText(static_cast<int32_t>(0xE00E0000u)), QStringLiteral("&HE00E0000"));
}

void HelpersTest::addressTextKeepsEverySignificantDigit() {
    const auto *high = reinterpret_cast<const void *>(uintptr_t{0x7FFDE00E12345678});
    QCOMPARE(addressText(high), QStringLiteral("&H7FFDE00E12345678"));
    QCOMPARE(addressText(nullptr), QStringLiteral("&H0"));
}

void HelpersTest::dumpOfNoBytesPrintsNothingButFillsTheTextBox() {
    PictureBox output;
    output.printText(QStringLiteral("old contents"));
    QLineEdit textBox;
    const std::array<uint8_t, 4> bytes{'A', 'b', 0, 'c'};
    DumpBuffer(&output, bytes, 0, &textBox);
    QCOMPARE(output.text(), QString());
    QCOMPARE(textBox.text(), QStringLiteral("Ab"));
}

void HelpersTest::dumpOf64BytesPrintsEightAlignedRows() {
    std::array<uint8_t, 64> bytes{};
    std::iota(bytes.begin(), bytes.end(), uint8_t{0xA0}); // A0 .. DF, no zero byte
    bytes[1] = 0x0F;
    PictureBox output;
    QLineEdit textBox;
    DumpBuffer(&output, bytes, 64, &textBox);
    const QStringList rows = output.text().split(u'\n');
    QCOMPARE(rows.size(), 8);
    QCOMPARE(rows[0], QStringLiteral("  0 | 0xA0 0x0F 0xA2 0xA3 0xA4 0xA5 0xA6 0xA7 "));
    QCOMPARE(rows[1], QStringLiteral("  8 | 0xA8 0xA9 0xAA 0xAB 0xAC 0xAD 0xAE 0xAF "));
    QCOMPARE(rows[2], QStringLiteral(" 16 | 0xB0 0xB1 0xB2 0xB3 0xB4 0xB5 0xB6 0xB7 "));
    QCOMPARE(rows[7], QStringLiteral(" 56 | 0xD8 0xD9 0xDA 0xDB 0xDC 0xDD 0xDE 0xDF "));
    for (const QString &row : rows)
        QCOMPARE(row.indexOf(u'|'), 4);
    QCOMPARE(textBox.text().size(), 64);
    QCOMPARE(textBox.text().at(0), QChar(0xA0));
}

void HelpersTest::dumpStopsAtLength() {
    const std::array<uint8_t, 16> bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    PictureBox output;
    DumpBuffer(&output, bytes, 9);
    QCOMPARE(output.text(), QStringLiteral("  0 | 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 \n"
                                           "  8 | 0x09 "));
}

void HelpersTest::textOfNullAddressIsEmpty() {
    QCOMPARE(PtrToString(nullptr), QString());
    const char latin1[] = "caf\xe9";
    QCOMPARE(PtrToString(latin1), QString::fromUtf8("caf\xc3\xa9"));
}

void HelpersTest::traxStatusOfSuccessIsGreen_data() {
    QTest::addColumn<int>("ret");
    QTest::newRow("zero") << 0;
    QTest::newRow("path number") << 5;
}

void HelpersTest::traxStatusOfSuccessIsGreen() {
    QFETCH(int, ret);
    QLineEdit status;
    QVERIFY(ShowTraxStatus(ret, &status));
    QCOMPARE(status.text(), QStringLiteral("SUCCESS"));
    QCOMPARE(BoxColor(&status), QColor(0, 255, 0));
}

void HelpersTest::traxStatusOfFailureShowsTheCapturedErrorText() {
    MessageBoxCapture boxes;
    const auto ret = CallEntry<decltype(M_OPEN)>(TraxLibrary::TraxApi, "M_OPEN", "no_such_device");
    QVERIFY(ret.has_value());
    QVERIFY(*ret < 0);
    const uint32_t captured = LastLibraryError();
    QVERIFY(captured != 0);
    // Window work between the call and the display must not change what is shown.
    SetLastError(ERROR_INVALID_FUNCTION);
    QLineEdit status;
    QVERIFY(!ShowTraxStatus(*ret, &status));
    const auto expected = CallEntry<decltype(M_ERRSTRING)>(TraxLibrary::TraxApi, "M_ERRSTRING",
                                                           static_cast<int32_t>(captured));
    QVERIFY(expected.has_value());
    QCOMPARE(status.text(), QString::fromLatin1(*expected));
    QVERIFY(!status.text().isEmpty());
    QCOMPARE(BoxColor(&status), QColor(255, 0, 0));
    QCOMPARE(boxes.Count(), 0);
}

void HelpersTest::ossStatusUsesTheReturnValueAsErrorCode() {
    QLineEdit status;
    QVERIFY(ShowOssStatus(0, &status));
    QCOMPARE(status.text(), QStringLiteral("SUCCESS"));
    const auto code = static_cast<int32_t>(ERR_UOS_NOT_INIT);
    QVERIFY(!ShowOssStatus(code, &status));
    const auto expected = CallEntry<char *(int32_t)>(TraxLibrary::UsrOss, "UOS_ERRSTRING", code);
    QVERIFY(expected.has_value());
    QCOMPARE(status.text(), QString::fromLatin1(*expected));
    QCOMPARE(BoxColor(&status), QColor(255, 0, 0));
}

void HelpersTest::waitingAndNeutralLooks() {
    QLineEdit status;
    ShowWaiting(&status);
    QCOMPARE(status.text(), QStringLiteral("waiting ..."));
    QCOMPARE(BoxColor(&status), QColor(255, 255, 0));
    ShowStatusNeutral(&status);
    QCOMPARE(status.text(), QStringLiteral("STATUS"));
    QCOMPARE(BoxColor(&status), ButtonFaceColor());
}

void HelpersTest::clearBufferZeroesEveryByte() {
    std::array<uint8_t, 64> bytes;
    bytes.fill(0x5A);
    ClearBuffer(bytes);
    QVERIFY(std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; }));
}

void HelpersTest::labelAndBoxPrimitives() {
    QWidget parent;
    auto *label = new QLabel(QStringLiteral("old"), &parent);
    auto *box = new QLineEdit(QStringLiteral("old"), &parent);
    parent.show();

    HideLabel(label);
    HideText(box);
    QVERIFY(!label->isVisible());
    QCOMPARE(label->text(), QString());
    QVERIFY(!box->isVisible());
    QCOMPARE(box->text(), QString());

    ShowLabel(label, QStringLiteral("device name"));
    ShowTextLocked(box, QStringLiteral("7"));
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), QStringLiteral("device name"));
    QVERIFY(box->isVisible());
    QVERIFY(!box->isEnabled());
    QCOMPARE(box->text(), QStringLiteral("7"));

    ShowTextInput(box, QStringLiteral("&H0"));
    QVERIFY(box->isEnabled());
    QCOMPARE(box->text(), QStringLiteral("&H0"));
}

void HelpersTest::realMessageBoxShowsItsTextAsItIs() {
    // Without the capture the real box is shown; what it shows is recorded and the box
    // answered at once, so that a failing comparison cannot leave it open.
    const QString text = QStringLiteral("<b>'Value'</b> out of range &amp; more");
    MessageBoxRequest shown;
    Qt::TextFormat format = Qt::AutoText;
    bool seen = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr)
            return;
        shown = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        format = box->textFormat();
        seen = true;
        box->button(QMessageBox::Ok)->click();
    });
    MsgWarning(text);
    QVERIFY(seen);
    QCOMPARE(shown.text, text);
    QCOMPARE(format, Qt::PlainText);
    QCOMPARE(shown.title, QStringLiteral("traxgui (free build)"));
    QCOMPARE(shown.icon, QMessageBox::Warning);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void HelpersTest::libraryIsLoadedFromBuildThenInstallationThenSearchPath_data() {
    QTest::addColumn<bool>("besideProgram");
    QTest::addColumn<bool>("inLibraryFolder");
    QTest::addColumn<QString>("expected"); // relative to the installation; else a plain name
    const QString installed = QStringLiteral("bin/" TRAXGUI_LIBDIR_FROM_BINDIR);
    QTest::newRow("build folder") << true << false << "bin/libvelk_usr_oss.so";
    QTest::newRow("both: the build wins") << true << true << "bin/libvelk_usr_oss.so";
    QTest::newRow("installed") << false << true << installed + "/libvelk_usr_oss.so";
    QTest::newRow("neither: search path") << false << false << "velk_usr_oss";
}

void HelpersTest::libraryIsLoadedFromBuildThenInstallationThenSearchPath() {
    QFETCH(bool, besideProgram);
    QFETCH(bool, inLibraryFolder);
    QFETCH(QString, expected);
    QTemporaryDir root;
    const QDir prefix(root.path());
    const QString bin = prefix.filePath(QStringLiteral("bin"));
    const QString libraryFolder = QDir::cleanPath(bin + "/" TRAXGUI_LIBDIR_FROM_BINDIR);
    QVERIFY(prefix.mkpath(bin) && prefix.mkpath(libraryFolder));
    const auto touch = [](const QString &path) { QVERIFY(QFile(path).open(QIODevice::WriteOnly)); };
    if (besideProgram)
        touch(bin + "/libvelk_usr_oss.so");
    if (inLibraryFolder)
        touch(libraryFolder + "/libvelk_usr_oss.so");
    const QString found = LibraryFileFor(TraxLibrary::UsrOss, bin);
    QCOMPARE(found, expected.contains('/') ? QDir::cleanPath(prefix.filePath(expected)) : expected);
}

TRAXGUI_TEST_MAIN(HelpersTest)
#include "helpers_test.moc"
