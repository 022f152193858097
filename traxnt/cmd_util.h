/* Helpers shared by the block-buffer, kernel, driver and OS-services commands of traxnt:
 * status queries on the current path, error reporting for Windows and allocation failures,
 * bounded text output, the information-table runner, and the range and hexadecimal value
 * tokens of the block-buffer commands. */
#ifndef TRAXNT_CMD_UTIL_H
#define TRAXNT_CMD_UTIL_H

#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "input.h"
#include "shell.h"
#include "trax_api.h"
#include "trax_errors.h"
#include "trax_win32.h"
#include "usr_oss.h"

// ---- Status queries on the current path ----

/** Reads a standard status code of the current path into *value; true on success. */
inline bool QueryValue(int32_t code, int32_t *value) {
    return M_getstat(CurrentPath(), code, value) >= 0;
}

/** Reads a block status code of the current path through the block record. */
inline bool QueryBlock(int32_t code, M_SG_BLOCK *block) {
    return M_getstat(CurrentPath(), code, reinterpret_cast<int32_t *>(block)) >= 0;
}

/** The current path as the Windows device handle that the device API handed out. */
inline HANDLE CurrentDeviceHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(CurrentPath()));
}

// ---- Error reporting ----

/** Reports a failed Windows call: its own last-error code becomes the error number that
 *  MapiErr shows, so that the text never belongs to an older failure. Returns -1. */
inline int32_t ReportWindowsError() {
    UOS_ErrnoSet(GetLastError());
    return MapiErr();
}

/** Reports a failed buffer allocation with the out-of-memory text. Returns -1. */
inline int32_t ReportNoMemory() {
    UOS_ErrnoSet(ERR_MK_NO_MEM);
    return MapiErr();
}

/** Allocates a command's work buffer of size bytes (zero-filled); null when the size is
 *  negative or memory is short. The diagnostic environment variable TRAXNT_FAIL_ALLOC makes
 *  every such allocation fail, so that the out-of-memory paths can be exercised. */
inline char *AllocCommandBuffer(int32_t size) {
    if (size < 0 || std::getenv("TRAXNT_FAIL_ALLOC") != nullptr)
        return nullptr;
    return new (std::nothrow) char[static_cast<size_t>(size) + 1]();
}

inline void FreeCommandBuffer(char *buf) {
    delete[] buf;
}

/** Length of a text that may lack its terminating zero within cap bytes. */
inline int BoundedLength(const char *text, size_t cap) {
    return static_cast<int>(strnlen(text, cap));
}

// ---- Information tables ----

/** One row of an information table: the text before the value (shared by the success and
 *  the failure line), the status code, and how the value is fetched and described. */
struct InfoRow {
    const char *label;
    int32_t code;
    /** Queries the code and writes the value part of the line (without the line feed)
     *  into text; false when the query failed. */
    bool (*fetch)(int32_t code, char *text, size_t cap);
};

constexpr size_t kRowTextSize = 256;

/** Queries and prints each row independently; a failed row prints the error line and the
 *  row's "*** FAILED" line, and the next row is still queried. */
inline void PrintRowsIndependently(const InfoRow *rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char text[kRowTextSize] = "";
        if (rows[i].fetch(rows[i].code, text, sizeof text)) {
            printf("%s%s\n", rows[i].label, text);
        } else {
            MapiErr();
            printf("%s*** FAILED\n", rows[i].label);
        }
    }
}

/** Queries and prints the rows in order and stops at the first failure, which prints the
 *  error line. Returns 0, or -1 after a failure. */
inline int32_t PrintRowsUntilFailure(const InfoRow *rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char text[kRowTextSize] = "";
        if (!rows[i].fetch(rows[i].code, text, sizeof text))
            return MapiErr();
        printf("%s%s\n", rows[i].label, text);
    }
    return 0;
}

template <size_t N> constexpr size_t CountOf(const InfoRow (&)[N]) {
    return N;
}

/** Fetches a standard code and formats its value with format (one "%d" or "%x"). */
inline bool FetchFormatted(int32_t code, char *text, size_t cap, const char *format) {
    int32_t value = 0;
    if (!QueryValue(code, &value))
        return false;
    snprintf(text, cap, format, value);
    return true;
}

/** Fetches a standard code in decimal. */
inline bool FetchDecimal(int32_t code, char *text, size_t cap) {
    return FetchFormatted(code, text, cap, "%d");
}

/** Fetches a standard code and formats it with format ("%d" and "%s") and the value's
 *  name. */
inline bool FetchNamed(int32_t code, char *text, size_t cap, const char *format,
                       const char *(*name)(int32_t value)) {
    int32_t value = 0;
    if (!QueryValue(code, &value))
        return false;
    snprintf(text, cap, format, value, name(value));
    return true;
}

/** A value and the name it is shown with. */
struct ValueName {
    int32_t value;
    const char *name;
};

/** The name of value in the table, or "unknown". */
template <size_t N> const char *NameOf(const ValueName (&table)[N], int32_t value) {
    for (const ValueName &entry : table)
        if (entry.value == value)
            return entry.name;
    return "unknown";
}

/** Appends the name (with its trailing blank) of every set bit in table order, then
 *  zeroName when the value is 0 (zeroName may be empty). */
template <size_t N>
void AppendBitNames(char *text, size_t cap, const ValueName (&bits)[N], int32_t value,
                    const char *zeroName) {
    for (const ValueName &bit : bits)
        if ((value & bit.value) != 0)
            strncat(text, bit.name, cap - strlen(text) - 1);
    if (value == 0)
        strncat(text, zeroName, cap - strlen(text) - 1);
}

// ---- Block-buffer range and value tokens ----

/** Inclusive range of element indices of the block buffer. */
struct ElemRange {
    int32_t first;
    int32_t last;
};

/** How a range prompt treats a token. */
enum class RangeStyle {
    Single,      // "x" or "x-y"; "*" has no special meaning
    SingleOrAll, // "x", "x-y" or "*" for the whole buffer
    SpanOrAll,   // "x-y" or "*"; a single "x" is invalid
};

constexpr size_t kRangeTokenSize = 20; // 19 characters and the terminating zero

/** Converts the leading decimal number of text as the standard conversion does (leading
 *  blanks, an optional sign, digits; text without digits is 0). False when the number does
 *  not fit a signed 32-bit value. */
inline bool LeadingDecimal(const char *text, int32_t *value) {
    errno = 0;
    long long number = strtoll(text, nullptr, 10);
    if (errno == ERANGE || number > INT32_MAX || number < INT32_MIN)
        return false;
    *value = static_cast<int32_t>(number);
    return true;
}

/** Parses a range token against the highest index maxIndex. The token is split at its
 *  first "-" into x and y; without "-" both are the token's value. True for a valid range
 *  (x <= y <= maxIndex, both within 32 bits). */
inline bool ParseRangeToken(const char *token, RangeStyle style, int32_t maxIndex,
                            ElemRange *range) {
    if (style != RangeStyle::Single && token[0] == '*') {
        *range = {0, maxIndex};
        return true;
    }
    char text[kRangeTokenSize];
    snprintf(text, sizeof text, "%s", token);
    char *dash = strchr(text, '-');
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

/** Prints the range prompt (a format with the unit name and the highest index) and reads
 *  range tokens until one is valid. */
inline ElemRange ReadRange(const char *promptFormat, RangeStyle style) {
    const BufUnitDesc &unit = CurrentUnit();
    for (;;) {
        printf(promptFormat, unit.unitName, unit.maxIndex);
        char token[kRangeTokenSize];
        ElemRange range{};
        if (ReadToken(token, sizeof token) && ParseRangeToken(token, style, unit.maxIndex, &range))
            return range;
    }
}

/** True when token is a hexadecimal number: an optional "0x" prefix and one or more
 *  hexadecimal digits. */
inline bool IsHexNumber(const char *token) {
    if (token[0] == '0' && (token[1] == 'x' || token[1] == 'X'))
        token += 2;
    if (*token == '\0')
        return false;
    return strspn(token, "0123456789abcdefABCDEF") == strlen(token);
}

#endif
