#include "modTraxgui.h"

#include "libbinding.h"
#include "msgbox.h"
#include "pictureBox.h"
#include "traxformat.h"

#include <trax_api.h>
#include <usr_oss.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>

namespace traxgui {

QColor ButtonFaceColor() {
    return QApplication::palette().color(QPalette::Button);
}

void SetBoxColor(QLineEdit *box, const QColor &color) {
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, color);
    box->setPalette(palette);
}

QColor BoxColor(const QLineEdit *box) {
    return box->palette().color(QPalette::Base);
}

bool ArgToLong(const QString &text, int32_t &value, const QString &argName) {
    const auto number = parseArgNumber(text);
    if (!number) {
        MsgWarning(QStringLiteral("argument '%1' is not a valid number").arg(argName));
        return false;
    }
    value = *number;
    return true;
}

void DumpBuffer(PictureBox *output, std::span<const uint8_t> bytes, int32_t length,
                QLineEdit *textBox) {
    output->Cls();
    output->Print(dumpText(bytes, length));
    if (textBox != nullptr)
        textBox->setText(bufferText(bytes));
}

QString PtrToString(const char *address) {
    return textAt(address);
}

namespace {

void showOutcome(QLineEdit *statusBox, bool success, const char *errorText) {
    SetBoxColor(statusBox, success ? kColorSuccess : kColorError);
    statusBox->setText(success ? QStringLiteral("SUCCESS") : PtrToString(errorText));
}

} // namespace

bool ShowTraxStatus(int32_t ret, QLineEdit *statusBox) {
    if (ret >= 0) {
        showOutcome(statusBox, true, nullptr);
        return true;
    }
    const auto code = static_cast<int32_t>(LastLibraryError());
    const auto text = CallEntry<decltype(M_ERRSTRING)>(TraxLibrary::TraxApi, "M_ERRSTRING", code);
    showOutcome(statusBox, false, text.value_or(nullptr));
    return false;
}

bool ShowOssStatus(int32_t ret, QLineEdit *statusBox) {
    if (ret >= 0) {
        showOutcome(statusBox, true, nullptr);
        return true;
    }
    const auto text = CallEntry<decltype(UOS_ERRSTRING)>(TraxLibrary::UsrOss, "UOS_ERRSTRING", ret);
    showOutcome(statusBox, false, text.value_or(nullptr));
    return false;
}

void ShowWaiting(QLineEdit *statusBox) {
    SetBoxColor(statusBox, kColorWaiting);
    statusBox->setText(QStringLiteral("waiting ..."));
    statusBox->repaint();
}

void ShowStatusNeutral(QLineEdit *statusBox) {
    SetBoxColor(statusBox, ButtonFaceColor());
    statusBox->setText(QStringLiteral("STATUS"));
}

void ClearBuffer(std::span<uint8_t> bytes) {
    std::fill(bytes.begin(), bytes.end(), uint8_t{0});
}

void ShowLabel(QLabel *label, const QString &caption) {
    label->setText(caption);
    label->setVisible(true);
}

void HideLabel(QLabel *label) {
    label->setVisible(false);
    label->setText(QString());
}

void ShowTextLocked(QLineEdit *box, const QString &text) {
    box->setText(text);
    box->setEnabled(false);
    box->setVisible(true);
}

void ShowTextInput(QLineEdit *box, const QString &text) {
    box->setText(text);
    box->setEnabled(true);
    box->setVisible(true);
}

void HideText(QLineEdit *box) {
    box->setVisible(false);
    box->setText(QString());
}

} // namespace traxgui
