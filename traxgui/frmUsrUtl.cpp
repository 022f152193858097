#include "frmUsrUtl.h"

#include "libbinding.h"
#include "modTraxgui.h"
#include "pictureBox.h"
#include "traxformat.h"
#include "ui_frmUsrUtl.h"

#include <usr_utl.h>

#include <vector>

namespace traxgui {
namespace {

/// The bit-dump text buffer: 255 characters and the terminating zero.
constexpr size_t kBindumpChars = 255;

/// Calls a utility library entry by name; no value when it could not be bound.
template <typename Fn, typename... Args> auto callUtl(const char *entryName, Args... args) {
    return CallEntry<Fn>(TraxLibrary::UsrUtl, entryName, args...);
}

/// A number as the output area prints it: a blank (or the minus sign) in front and one
/// blank behind.
QString printedNumber(int32_t value) {
    return (value >= 0 ? QStringLiteral(" %1 ") : QStringLiteral("%1 ")).arg(value);
}

} // namespace

frmUsrUtl::frmUsrUtl(QWidget *parent) : TraxForm(parent), ui_(std::make_unique<Ui::frmUsrUtl>()) {
    ui_->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(ui_->cmdUtlIdent, &QPushButton::clicked, this, &frmUsrUtl::onIdent);
    connect(ui_->cmdUtlAtox, &QPushButton::clicked, this, &frmUsrUtl::onAtox);
    connect(ui_->cmdUtlBindump, &QPushButton::clicked, this, &frmUsrUtl::onBindump);
    connect(ui_->cmdCls, &QPushButton::clicked, ui_->picOutput, &PictureBox::cls);
}

frmUsrUtl::~frmUsrUtl() = default;

void frmUsrUtl::printLine(const QString &line) {
    ui_->picOutput->printLine(line);
}

void frmUsrUtl::onIdent() {
    if (const auto text = callUtl<decltype(UTL_IDENT)>("UTL_IDENT"))
        printLine(PtrToString(*text));
}

void frmUsrUtl::onAtox() {
    // The text goes to the library as it is, however long or strange; the library judges it.
    const QByteArray hex = ui_->txtHexStr->text().toLatin1();
    if (const auto value = callUtl<decltype(UTL_ATOX)>("UTL_ATOX", hex.constData()))
        printLine(printedNumber(static_cast<int32_t>(*value)));
}

void frmUsrUtl::onBindump() {
    // The value is the hex box read as hexadecimal digits. More than eight digits are passed
    // on as the library's own hex conversion reads them, by the last eight; a text that is
    // not hexadecimal has no value and is refused with a warning naming the box.
    const auto value = parseHexPattern(ui_->txtHexStr->text());
    if (!value) {
        WarnNotANumber(QStringLiteral("hex string"));
        return;
    }
    int32_t bits = 0;
    if (!ArgToLong(ui_->txtBitNbr->text(), bits, QStringLiteral("number of bits")))
        return;
    // The returned address may point into the buffer, so it lives until the text is copied.
    std::vector<char> buffer(kBindumpChars + 1, '\0');
    const auto dump = callUtl<decltype(UTL_BINDUMP)>("UTL_BINDUMP", static_cast<uint32_t>(*value),
                                                     static_cast<uint32_t>(bits), buffer.data());
    if (dump)
        printLine(PtrToString(*dump));
}

} // namespace traxgui
