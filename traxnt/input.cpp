// Console input of traxnt.
//
// Standard input is read through one buffer of our own, so that standard output is
// flushed exactly when the program is about to block on input and not more often. Only
// the thread that holds the console token reads, and the token's hand-over orders those
// reads, so the buffer needs no lock of its own.
#include "input.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "trax_win32.h"

namespace {

constexpr size_t kInputBufSize = 64 * 1024;
constexpr int kEndOfInput = -1;
// A number token longer than this is certainly not a valid number; reading it into a
// field of this size keeps the whole token consumed and its start available for the
// error line.
constexpr size_t kNumberTokenSize = 64;
// The error line shows at most this many characters of a rejected token.
constexpr int kShownTokenChars = 40;

void (*endOfInputAction)() = nullptr;

char inputBuf[kInputBufSize];
size_t inputPos = 0;
size_t inputEnd = 0;

/// Refills the buffer, flushing pending output first; false at end of input or on error.
bool RefillInput() {
    std::fflush(stdout);
    ssize_t n;
    do {
        n = read(STDIN_FILENO, inputBuf, sizeof inputBuf);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return false;
    inputPos = 0;
    inputEnd = static_cast<size_t>(n);
    return true;
}

/// The next character without consuming it, or kEndOfInput.
inline int PeekChar() {
    if (inputPos == inputEnd && !RefillInput())
        return kEndOfInput;
    return static_cast<unsigned char>(inputBuf[inputPos]);
}

/// Ends the program at the end of standard input, while other command threads may still
/// wait inside the platform layer.
[[noreturn]] void EndOfInput() {
    std::fflush(stdout);
    if (endOfInputAction != nullptr)
        endOfInputAction();
    EndProcessNow();
}

/// The characters that separate tokens (those of "%s" in the C locale).
bool IsBlank(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

/// Reads a number token; a token too long for the field is rejected whole.
bool ReadNumberToken(char *token, bool *tooLong) {
    *tooLong = !ReadToken(token, kNumberTokenSize);
    return !*tooLong;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/// Hexadecimal digits with an optional "0x" prefix, at most 32 bits of value.
bool ParseHex(const char *text, uint32_t *value) {
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text += 2;
    if (*text == '\0')
        return false;
    uint64_t result = 0;
    for (; *text != '\0'; ++text) {
        const int digit = HexDigitValue(*text);
        if (digit < 0)
            return false;
        result = result * 16 + static_cast<uint64_t>(digit);
        if (result > UINT32_MAX)
            return false;
    }
    *value = static_cast<uint32_t>(result);
    return true;
}

/// Decimal digits with an optional sign, within the signed 32-bit range.
bool ParseDec(const char *text, int32_t *value) {
    const bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    if (*text == '\0')
        return false;
    int64_t magnitude = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9')
            return false;
        magnitude = magnitude * 10 + (*text - '0');
        if (magnitude > static_cast<int64_t>(INT32_MAX) + 1)
            return false;
    }
    const int64_t result = negative ? -magnitude : magnitude;
    if (result > INT32_MAX)
        return false;
    *value = static_cast<int32_t>(result);
    return true;
}

} // namespace

bool ReadToken(char *buf, size_t cap) {
    int c = PeekChar();
    while (c != kEndOfInput && IsBlank(c)) {
        ++inputPos;
        c = PeekChar();
    }
    if (c == kEndOfInput)
        EndOfInput();
    size_t length = 0;
    bool fits = true;
    // The blank that ends the token stays unread, as with a formatted "%s" read, so that
    // DiscardPendingInput afterwards empties only the rest of this line.
    while (c != kEndOfInput && !IsBlank(c)) {
        // A zero byte would end the text early ("h\0x" would read as "h"): it is kept as
        // a character that no command word, number or device name contains.
        if (length + 1 < cap)
            buf[length++] = c == '\0' ? '?' : static_cast<char>(c);
        else
            fits = false;
        ++inputPos;
        c = PeekChar();
    }
    if (cap > 0)
        buf[length] = '\0';
    return fits;
}

bool ReadHex(uint32_t *value) {
    char token[kNumberTokenSize];
    bool tooLong;
    if (ReadNumberToken(token, &tooLong) && ParseHex(token, value))
        return true;
    PrintInvalidNumber("hexadecimal", token, tooLong);
    return false;
}

bool ReadDec(int32_t *value) {
    char token[kNumberTokenSize];
    bool tooLong;
    if (ReadNumberToken(token, &tooLong) && ParseDec(token, value))
        return true;
    PrintInvalidNumber("decimal", token, tooLong);
    return false;
}

bool TryReadDec(int32_t *value) {
    char token[kNumberTokenSize];
    bool tooLong;
    return ReadNumberToken(token, &tooLong) && ParseDec(token, value);
}

void SetEndOfInputAction(void (*action)()) {
    endOfInputAction = action;
}

void DiscardPendingInput() {
    for (int c = PeekChar(); c != kEndOfInput; c = PeekChar()) {
        ++inputPos;
        if (c == '\n')
            return;
    }
}

void EndProcessNow() {
    std::fflush(stdout);
    TraxReleaseNamedObjects();
    _exit(0);
}

void PrintInvalidNumber(const char *kind, const char *token, bool tooLong) {
    const bool cut = tooLong || std::strlen(token) > static_cast<size_t>(kShownTokenChars);
    std::printf(" \a*** not a %s number: %.*s%s\n", kind, kShownTokenChars, token,
                cut ? "..." : "");
}

bool IsHexNumber(const char *token) {
    if (token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        token += 2;
    if (*token == '\0')
        return false;
    return std::strspn(token, "0123456789abcdefABCDEF") == std::strlen(token);
}

bool LeadingDecimal(const char *text, int32_t *value) {
    errno = 0;
    const long long number = std::strtoll(text, nullptr, 10);
    if (errno == ERANGE || number > INT32_MAX || number < INT32_MIN)
        return false;
    *value = static_cast<int32_t>(number);
    return true;
}

bool ParseRangeToken(const char *token, RangeStyle style, int32_t maxIndex, ElemRange *range) {
    if (style != RangeStyle::Single && token[0] == '*') {
        *range = {0, maxIndex};
        return true;
    }
    char text[kRangeTokenSize];
    std::snprintf(text, sizeof text, "%s", token);
    char *dash = std::strchr(text, '-');
    if (dash == nullptr && style == RangeStyle::SpanOrAll)
        return false;
    const char *yText = text;
    if (dash != nullptr) {
        *dash = '\0';
        yText = dash + 1;
    }
    int32_t x = 0;
    int32_t y = 0;
    if (!LeadingDecimal(text, &x) || !LeadingDecimal(yText, &y))
        return false;
    if (x < 0 || x > maxIndex || y > maxIndex || x > y)
        return false;
    *range = {x, y};
    return true;
}
