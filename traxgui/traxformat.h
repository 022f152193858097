// Widget-free text conversions shared by the traxgui forms: argument numbers, hexadecimal
// display of codes and addresses, and the rows of a byte-buffer dump.
#ifndef TRAXGUI_TRAXFORMAT_H
#define TRAXGUI_TRAXFORMAT_H

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <span>

namespace traxgui {

/// Converts an argument text to a 32-bit signed value. Accepted are decimal numbers with an
/// optional sign that fit in 32 bits, and "&H" (either case) followed by 1 to 8 hexadecimal
/// digits, which give the 32-bit pattern ("&HFFFFFFFF" is -1). Anything else, blanks
/// included, gives no value.
std::optional<int32_t> parseArgNumber(QStringView text);

/// Converts hexadecimal digits (no prefix) to a 32-bit pattern. Any number of digits is
/// accepted: digits beyond eight shift the high ones out, so the value is that of the last
/// eight. An empty text or any other character gives no value.
std::optional<int32_t> parseHexPattern(QStringView digits);

/// "&H" followed by the upper-case hexadecimal digits of the value's 32-bit pattern, without
/// leading zeros; a negative value thus shows all eight digits.
QString hexText(int32_t value);

/// "&H" followed by every significant hexadecimal digit of an address, so a 64-bit address
/// is never cut to 32 bits.
QString addressText(const void *address);

/// The printed form of a byte buffer: rows of eight bytes, each starting with the offset
/// right-aligned in three columns, a blank and "| ", then "0xHH " per byte. Rows are joined
/// by line feeds; no line end follows the last byte. Only the first length bytes are shown.
QString dumpText(std::span<const uint8_t> bytes, int32_t length);

/// The bytes as single-byte characters, ending at the first zero byte, as a text box
/// shows them.
QString bufferText(std::span<const uint8_t> bytes);

/// A copy of the zero-terminated single-byte text at address; "" for a null address.
QString textAt(const char *address);

} // namespace traxgui

#endif
