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
#include <QVariant>

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
        WarnNotANumber(argName);
        return false;
    }
    value = *number;
    return true;
}

void WarnNotANumber(const QString &argName) {
    MsgWarning(QStringLiteral("argument '%1' is not a valid number").arg(argName));
}

void DumpBuffer(PictureBox *output, std::span<const uint8_t> bytes, int32_t length,
                QLineEdit *textBox) {
    output->cls();
    output->printText(dumpText(bytes, length));
    if (textBox != nullptr)
        textBox->setText(bufferText(bytes));
}

QString PtrToString(const char *address) {
    return textAt(address);
}

namespace {

/// Property of a status box that keeps its designed tooltip while an error text stands in it.
constexpr char kDesignedToolTip[] = "designedToolTip";

QString designedToolTip(QLineEdit *statusBox) {
    const QVariant kept = statusBox->property(kDesignedToolTip);
    if (kept.isValid())
        return kept.toString();
    statusBox->setProperty(kDesignedToolTip, statusBox->toolTip());
    return statusBox->toolTip();
}

/// Shows the text from its start, so that a long error text shows its name rather than its
/// end; the whole of an error text goes into the tooltip, any other text gives the designed
/// tooltip back.
void showStatusText(QLineEdit *statusBox, const QString &text, bool error) {
    const QString toolTip = designedToolTip(statusBox);
    statusBox->setText(text);
    statusBox->setCursorPosition(0);
    statusBox->setToolTip(error ? text : toolTip);
}

void showOutcome(QLineEdit *statusBox, bool success, const char *errorText) {
    SetBoxColor(statusBox, success ? kColorSuccess : kColorError);
    showStatusText(statusBox, success ? QStringLiteral("SUCCESS") : PtrToString(errorText),
                   !success);
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
    showStatusText(statusBox, QStringLiteral("waiting ..."), false);
    statusBox->repaint();
}

void ShowStatusNeutral(QLineEdit *statusBox) {
    SetBoxColor(statusBox, ButtonFaceColor());
    showStatusText(statusBox, QStringLiteral("STATUS"), false);
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
