// Helpers shared by the command units of traxnt: status queries on the current path,
// error reporting for failed device API, Windows and allocation calls, bounded text
// output, and the information-table runner.
#ifndef TRAXNT_CMD_UTIL_H
#define TRAXNT_CMD_UTIL_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "trax_api.h"
#include "trax_win32.h"

// ---- Status queries on the current path ----

/// Reads a standard status code of the current path into *value; true on success.
bool QueryValue(int32_t code, int32_t *value);

/// Reads a block status code of the current path through the block record.
bool QueryBlock(int32_t code, M_SG_BLOCK *block);

/// The current path as the Windows device handle that the device API handed out.
HANDLE CurrentDeviceHandle();

// ---- Error reporting ----

/// Prints " \a<text>\n" with the device API's text for the error number that
/// UOS_ErrnoGet reports, and returns -1.
int32_t MapiErr();

/// Reports a failed Windows call: its own last-error code becomes the error number that
/// MapiErr shows, so that the text never belongs to an older failure. Returns -1.
int32_t ReportWindowsError();

/// Reports a failed buffer allocation with the out-of-memory text. Returns -1.
int32_t ReportNoMemory();

/// Allocates a command's work buffer of size bytes (zero-filled); null when the size is
/// negative or memory is short. The diagnostic environment variable TRAXNT_FAIL_ALLOC makes
/// every such allocation fail, so that the out-of-memory paths can be exercised.
char *AllocCommandBuffer(int32_t size);

void FreeCommandBuffer(char *buf);

/// Length of a text that may lack its terminating zero within cap bytes.
int BoundedLength(const char *text, size_t cap);

// ---- Information tables ----

/// One row of an information table: the text before the value (shared by the success and
/// the failure line), the status code, and how the value is fetched and described.
struct InfoRow {
    const char *label;
    int32_t code;
    /// Queries the code and writes the value part of the line (without the line feed)
    /// into text; false when the query failed.
    bool (*fetch)(int32_t code, char *text, size_t cap);
};

constexpr size_t kRowTextSize = 256;

/// Queries and prints each row independently; a failed row prints the error line and the
/// row's "*** FAILED" line, and the next row is still queried.
void PrintRowsIndependently(const InfoRow *rows, size_t count);

/// Queries and prints the rows in order and stops at the first failure, which prints the
/// error line. Returns 0, or -1 after a failure.
int32_t PrintRowsUntilFailure(const InfoRow *rows, size_t count);

template <size_t N> constexpr size_t CountOf(const InfoRow (&)[N]) {
    return N;
}

/// Fetches a standard code and formats its value with format (one "%d" or "%x").
bool FetchFormatted(int32_t code, char *text, size_t cap, const char *format);

/// Fetches a standard code in decimal.
bool FetchDecimal(int32_t code, char *text, size_t cap);

/// Fetches a standard code and formats it with format ("%d" and "%s") and the value's
/// name.
bool FetchNamed(int32_t code, char *text, size_t cap, const char *format,
                const char *(*name)(int32_t value));

/// A value and the name it is shown with.
struct ValueName {
    int32_t value;
    const char *name;
};

/// The name of value in the table, or "unknown".
template <size_t N> const char *NameOf(const ValueName (&table)[N], int32_t value) {
    for (const ValueName &entry : table)
        if (entry.value == value)
            return entry.name;
    return "unknown";
}

/// Appends the name (with its trailing blank) of every set bit in table order, then
/// zeroName when the value is 0 (zeroName may be empty).
template <size_t N>
void AppendBitNames(char *text, size_t cap, const ValueName (&bits)[N], int32_t value,
                    const char *zeroName) {
    for (const ValueName &bit : bits)
        if ((value & bit.value) != 0)
            strncat(text, bit.name, cap - strlen(text) - 1);
    if (value == 0)
        strncat(text, zeroName, cap - strlen(text) - 1);
}

#endif
