#include "traxformat.h"

#include <cstring>
#include <limits>

namespace traxgui {
namespace {

constexpr int kMaxHexDigits = 8;
constexpr int kBytesPerRow = 8;

std::optional<int> hexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return std::nullopt;
}

std::optional<int32_t> parseHex(QStringView digits) {
    if (digits.size() > kMaxHexDigits)
        return std::nullopt;
    return parseHexPattern(digits);
}

std::optional<int32_t> parseDecimal(QStringView text) {
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'-' || text.front() == u'+')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    // The magnitude is bounded by 2^31 for a negative number, 2^31 - 1 otherwise; checking
    // after every digit keeps arbitrarily long texts from overflowing.
    const int64_t limit = negative ? int64_t{1} << 31 : std::numeric_limits<int32_t>::max();
    int64_t magnitude = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (u - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

QString hexDigits(uint64_t value) {
    return QString::number(value, 16).toUpper();
}

} // namespace

std::optional<int32_t> parseHexPattern(QStringView digits) {
    if (digits.isEmpty())
        return std::nullopt;
    uint32_t pattern = 0;
    for (QChar c : digits) {
        const auto digit = hexDigitValue(c);
        if (!digit)
            return std::nullopt;
        pattern = (pattern << 4) | static_cast<uint32_t>(*digit);
    }
    return static_cast<int32_t>(pattern);
}

std::optional<int32_t> parseArgNumber(QStringView text) {
    if (text.size() >= 2 && text[0] == u'&' && (text[1] == u'H' || text[1] == u'h'))
        return parseHex(text.mid(2));
    return parseDecimal(text);
}

QString hexText(int32_t value) {
    return QStringLiteral("&H") + hexDigits(static_cast<uint32_t>(value));
}

QString addressText(const void *address) {
    return QStringLiteral("&H") + hexDigits(reinterpret_cast<uintptr_t>(address));
}

QString dumpText(std::span<const uint8_t> bytes, int32_t length) {
    const size_t count = length <= 0 ? 0 : std::min(bytes.size(), static_cast<size_t>(length));
    QString text;
    for (size_t i = 0; i < count; ++i) {
        if (i % kBytesPerRow == 0) {
            if (i > 0)
                text += u'\n';
            text += i < 10 ? QStringLiteral("  ") : QStringLiteral(" ");
            text += QString::number(i) + QStringLiteral(" | ");
        }
        text += QStringLiteral("0x") +
                QStringLiteral("%1").arg(uint{bytes[i]}, 2, 16, QChar(u'0')).toUpper() + u' ';
    }
    return text;
}

QString bufferText(std::span<const uint8_t> bytes) {
    QString text;
    for (uint8_t byte : bytes) {
        if (byte == 0)
            break;
        text += QChar::fromLatin1(static_cast<char>(byte));
    }
    return text;
}

QString textAt(const char *address) {
    if (address == nullptr)
        return QString();
    return QString::fromLatin1(address, static_cast<qsizetype>(std::strlen(address)));
}

} // namespace traxgui
