// The small helpers that the library forms share: argument conversion, status display,
// buffer dumps, library strings and the argument-box layout primitives.
#ifndef TRAXGUI_MODTRAXGUI_H
#define TRAXGUI_MODTRAXGUI_H

#include <QColor>
#include <QString>

#include <cstdint>
#include <span>

class QLabel;
class QLineEdit;
class QWidget;

namespace traxgui {

class PictureBox;

/// Status box colours.
inline const QColor kColorSuccess{0x00, 0xFF, 0x00};
inline const QColor kColorError{0xFF, 0x00, 0x00};
inline const QColor kColorWaiting{0xFF, 0xFF, 0x00};
/// The neutral colour of a status box: the system's button face.
QColor ButtonFaceColor();

/// Sets the background colour of a text box.
void SetBoxColor(QLineEdit *box, const QColor &color);
/// The background colour a text box shows.
QColor BoxColor(const QLineEdit *box);

/// Converts text to value (decimal, or "&H" hexadecimal of up to 8 digits). On a text that
/// is not such a number it warns as WarnNotANumber does, leaves value unchanged and returns
/// false.
bool ArgToLong(const QString &text, int32_t &value, const QString &argName);

/// Shows the warning "argument '<argName>' is not a valid number".
void WarnNotANumber(const QString &argName);

/// Prints the first length bytes as a hex table into output (cleared first) and, if a text
/// box is given, puts the whole buffer into it as text.
void DumpBuffer(PictureBox *output, std::span<const uint8_t> bytes, int32_t length,
                QLineEdit *textBox = nullptr);

/// A copy of the zero-terminated text that a library returned by address.
QString PtrToString(const char *address);

/// Shows the outcome of a device API call: green "SUCCESS" for ret >= 0, else the library's
/// text for the error captured after the call, in red, from its start and whole in the
/// box's tooltip. Returns ret >= 0.
bool ShowTraxStatus(int32_t ret, QLineEdit *statusBox);

/// Like ShowTraxStatus for an OS-services call, whose return value is itself the error code.
bool ShowOssStatus(int32_t ret, QLineEdit *statusBox);

/// Yellow "waiting ..." shown at once, before a call that blocks.
void ShowWaiting(QLineEdit *statusBox);

/// Button-face colour and the text "STATUS": a status box showing no outcome.
void ShowStatusNeutral(QLineEdit *statusBox);

/// Sets every byte to 0.
void ClearBuffer(std::span<uint8_t> bytes);

void ShowLabel(QLabel *label, const QString &caption);
void HideLabel(QLabel *label);
/// Visible and disabled: an output or a fixed value.
void ShowTextLocked(QLineEdit *box, const QString &text);
/// Visible and enabled: a value the user types.
void ShowTextInput(QLineEdit *box, const QString &text);
void HideText(QLineEdit *box);

} // namespace traxgui

#endif
