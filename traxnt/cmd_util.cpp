// Helpers shared by the command units of traxnt.
#include "cmd_util.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "shell.h"
#include "trax_errors.h"
#include "usr_oss.h"

bool QueryValue(int32_t code, int32_t *value) {
    return M_getstat(CurrentPath(), code, value) >= 0;
}

bool QueryBlock(int32_t code, M_SG_BLOCK *block) {
    return M_getstat(CurrentPath(), code, reinterpret_cast<int32_t *>(block)) >= 0;
}

HANDLE CurrentDeviceHandle() {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(CurrentPath()));
}

int32_t MapiErr() {
    const int32_t errCode = static_cast<int32_t>(UOS_ErrnoGet());
    std::printf(" \a%s\n", M_errstring(errCode));
    return -1;
}

int32_t ReportWindowsError() {
    UOS_ErrnoSet(GetLastError());
    return MapiErr();
}

int32_t ReportNoMemory() {
    UOS_ErrnoSet(ERR_MK_NO_MEM);
    return MapiErr();
}

char *AllocCommandBuffer(int32_t size) {
    if (size < 0 || std::getenv("TRAXNT_FAIL_ALLOC") != nullptr)
        return nullptr;
    return new (std::nothrow) char[static_cast<size_t>(size) + 1]();
}

void FreeCommandBuffer(char *buf) {
    delete[] buf;
}

int BoundedLength(const char *text, size_t cap) {
    return static_cast<int>(strnlen(text, cap));
}

void PrintRowsIndependently(const InfoRow *rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char text[kRowTextSize] = "";
        if (rows[i].fetch(rows[i].code, text, sizeof text)) {
            std::printf("%s%s\n", rows[i].label, text);
        } else {
            MapiErr();
            std::printf("%s*** FAILED\n", rows[i].label);
        }
    }
}

int32_t PrintRowsUntilFailure(const InfoRow *rows, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char text[kRowTextSize] = "";
        if (!rows[i].fetch(rows[i].code, text, sizeof text))
            return MapiErr();
        std::printf("%s%s\n", rows[i].label, text);
    }
    return 0;
}

bool FetchFormatted(int32_t code, char *text, size_t cap, const char *format) {
    int32_t value = 0;
    if (!QueryValue(code, &value))
        return false;
    std::snprintf(text, cap, format, value);
    return true;
}

bool FetchDecimal(int32_t code, char *text, size_t cap) {
    return FetchFormatted(code, text, cap, "%d");
}

bool FetchNamed(int32_t code, char *text, size_t cap, const char *format,
                const char *(*name)(int32_t value)) {
    int32_t value = 0;
    if (!QueryValue(code, &value))
        return false;
    std::snprintf(text, cap, format, value, name(value));
    return true;
}
