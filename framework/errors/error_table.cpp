// The one table of error numbers and texts.
#include "trax_error_text.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "trax_errors.h"
#include "trax_win32.h"

namespace {

struct ErrorEntry {
    uint32_t code;
    const char *text;
};

// Each text names the number symbolically, then says what was wrong.
#define TRAX_ERROR_ENTRY(code, what)                                                               \
    { static_cast<uint32_t>(code), #code ": " what }

constexpr ErrorEntry kErrorTable[] = {
    TRAX_ERROR_ENTRY(ERR_SUCCESS, "no error"),

    // Windows codes that the platform layer and the framework report.
    TRAX_ERROR_ENTRY(ERROR_INVALID_FUNCTION, "function not supported for this object"),
    TRAX_ERROR_ENTRY(ERROR_FILE_NOT_FOUND, "name not found"),
    TRAX_ERROR_ENTRY(ERROR_TOO_MANY_OPEN_FILES, "too many open files"),
    TRAX_ERROR_ENTRY(ERROR_ACCESS_DENIED, "access denied"),
    TRAX_ERROR_ENTRY(ERROR_INVALID_HANDLE, "bad or closed handle"),
    TRAX_ERROR_ENTRY(ERROR_NOT_ENOUGH_MEMORY, "not enough memory"),
    TRAX_ERROR_ENTRY(ERROR_BAD_ENVIRONMENT, "environment not usable"),
    TRAX_ERROR_ENTRY(ERROR_INVALID_DATA, "object holds data of an unknown layout"),
    TRAX_ERROR_ENTRY(ERROR_OUTOFMEMORY, "out of memory"),
    TRAX_ERROR_ENTRY(ERROR_GEN_FAILURE, "system call failed"),
    TRAX_ERROR_ENTRY(ERROR_NOT_SUPPORTED, "request not supported"),
    TRAX_ERROR_ENTRY(ERROR_INVALID_PARAMETER, "illegal parameter"),
    TRAX_ERROR_ENTRY(ERROR_SEM_TIMEOUT, "semaphore time-out expired"),
    TRAX_ERROR_ENTRY(ERROR_INSUFFICIENT_BUFFER, "buffer too small"),
    TRAX_ERROR_ENTRY(ERROR_INVALID_NAME, "bad name syntax"),
    TRAX_ERROR_ENTRY(ERROR_BUSY, "object busy"),
    TRAX_ERROR_ENTRY(ERROR_ALREADY_EXISTS, "object already exists"),
    TRAX_ERROR_ENTRY(ERROR_FILENAME_EXCED_RANGE, "name too long"),
    TRAX_ERROR_ENTRY(ERROR_MORE_DATA, "more data than the buffer holds"),
    TRAX_ERROR_ENTRY(ERROR_NOT_OWNER, "object not owned by the caller"),
    TRAX_ERROR_ENTRY(ERROR_INVALID_ADDRESS, "no view at this address"),
    TRAX_ERROR_ENTRY(ERROR_TOO_MANY_POSTS, "semaphore count would exceed its maximum"),
    TRAX_ERROR_ENTRY(ERROR_MAPPED_ALIGNMENT, "view offset not a multiple of 65536"),
    TRAX_ERROR_ENTRY(ERROR_TIMEOUT, "operation timed out"),

    // OS-services library.
    TRAX_ERROR_ENTRY(ERR_UOS, "unspecified OS-services error"),
    TRAX_ERROR_ENTRY(ERR_UOS_NOT_INIT, "signal handling not initialised"),
    TRAX_ERROR_ENTRY(ERR_UOS_ALREADY_INIT, "signal handling already initialised"),
    TRAX_ERROR_ENTRY(ERR_UOS_ILL_SIG, "signal code outside 0x100..0x1ff"),
    TRAX_ERROR_ENTRY(ERR_UOS_NOT_INSTALLED, "signal code not installed"),
    TRAX_ERROR_ENTRY(ERR_UOS_ALREADY_INSTALLED, "signal code already installed"),
    TRAX_ERROR_ENTRY(ERR_UOS_TIMEOUT, "no signal arrived within the time-out"),
    TRAX_ERROR_ENTRY(ERR_UOS_HANDLER_ACTIVE,
                     "signal wait not possible while a handler is registered"),
    TRAX_ERROR_ENTRY(ERR_UOS_NO_MEM, "out of memory"),
    TRAX_ERROR_ENTRY(ERR_UOS_EVENT, "signal event could not be created"),
    TRAX_ERROR_ENTRY(ERR_UOS_THREAD, "signal thread could not be started"),
    TRAX_ERROR_ENTRY(ERR_UOS_ILL_PARAM, "illegal parameter (e.g. null pointer)"),
    TRAX_ERROR_ENTRY(ERR_UOS_MIKRODELAY_INIT, "micro delay not initialised"),
    TRAX_ERROR_ENTRY(ERR_UOS_BUSY, "another thread already waits for a signal"),

    // Kernel: paths, status codes, device semaphore, I/O control.
    TRAX_ERROR_ENTRY(ERR_MK, "unspecified kernel error"),
    TRAX_ERROR_ENTRY(ERR_MK_NO_DEVICE, "unknown device name"),
    TRAX_ERROR_ENTRY(ERR_MK_NAME_TOO_LONG, "device name too long"),
    TRAX_ERROR_ENTRY(ERR_MK_ILL_PATH, "bad or closed path"),
    TRAX_ERROR_ENTRY(ERR_MK_UNK_CODE, "unknown status code"),
    TRAX_ERROR_ENTRY(ERR_MK_ILL_PARAM, "illegal parameter (e.g. null pointer)"),
    TRAX_ERROR_ENTRY(ERR_MK_BLK_SIZE,
                     "block size negative, too large, or too small for the status code"),
    TRAX_ERROR_ENTRY(ERR_MK_NO_MEM, "out of memory"),
    TRAX_ERROR_ENTRY(ERR_MK_DEVSEM_TIMEOUT, "device semaphore not got within the time-out"),
    TRAX_ERROR_ENTRY(ERR_MK_DEVSEM_NOT_HELD, "device semaphore released but not held"),
    TRAX_ERROR_ENTRY(ERR_MK_ILL_IOCTL, "unknown I/O-control code or bad buffer"),
    TRAX_ERROR_ENTRY(ERR_MK_READ_ONLY, "status code cannot be set"),
    TRAX_ERROR_ENTRY(ERR_MK_PATHS_FULL, "too many open paths"),
    TRAX_ERROR_ENTRY(ERR_MK_DEF_MISMATCH,
                     "another process uses a device of this name with another description"),

    // Low-level drivers.
    TRAX_ERROR_ENTRY(ERR_LL, "unspecified driver error"),
    TRAX_ERROR_ENTRY(ERR_LL_UNK_CODE, "status code not supported by the driver"),
    TRAX_ERROR_ENTRY(ERR_LL_ILL_CHAN, "illegal channel number"),
    TRAX_ERROR_ENTRY(ERR_LL_ILL_PARAM, "illegal parameter value"),
    TRAX_ERROR_ENTRY(ERR_LL_READ, "device cannot be read"),
    TRAX_ERROR_ENTRY(ERR_LL_WRITE, "device cannot be written"),
    TRAX_ERROR_ENTRY(ERR_LL_NO_IDPROM, "device has no id-prom"),
    TRAX_ERROR_ENTRY(ERR_LL_ILL_ALARM, "alarm number out of range"),
    TRAX_ERROR_ENTRY(ERR_LL_ILL_TIME, "alarm time not positive"),
    TRAX_ERROR_ENTRY(ERR_LL_BLK_SHORT, "block too short for the status code"),
    TRAX_ERROR_ENTRY(ERR_LL_DEV_FAULT, "simulated device fault"),
    TRAX_ERROR_ENTRY(ERR_LL_ILL_SIG, "signal code outside 0x100..0x1ff"),

    // Base-board drivers.
    TRAX_ERROR_ENTRY(ERR_BBIS, "unspecified board driver error"),
    TRAX_ERROR_ENTRY(ERR_BBIS_UNK_CODE, "status code not supported by the board"),
    TRAX_ERROR_ENTRY(ERR_BBIS_NO_IDPROM, "board has no id-prom"),
    TRAX_ERROR_ENTRY(ERR_BBIS_ILL_PARAM, "illegal parameter value"),
};

#undef TRAX_ERROR_ENTRY

void format_unknown(uint32_t code, char *buf) {
    std::snprintf(buf, TRAX_ERROR_TEXT_MAX, "unknown error 0x%08x", static_cast<unsigned>(code));
}

} // namespace

extern "C" const char *trax_error_text_known(uint32_t code) {
    for (const ErrorEntry &entry : kErrorTable) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return nullptr;
}

extern "C" const char *trax_error_text(uint32_t code) {
    if (const char *text = trax_error_text_known(code)) {
        return text;
    }
    thread_local char unknownText[TRAX_ERROR_TEXT_MAX];
    format_unknown(code, unknownText);
    return unknownText;
}

extern "C" char *trax_error_text_into(uint32_t code, char *buf) {
    if (buf == nullptr) {
        return nullptr;
    }
    if (const char *text = trax_error_text_known(code)) {
        std::snprintf(buf, TRAX_ERROR_TEXT_MAX, "%s", text);
    } else {
        format_unknown(code, buf);
    }
    return buf;
}

extern "C" uint32_t trax_error_table_size(void) {
    return static_cast<uint32_t>(std::size(kErrorTable));
}

extern "C" uint32_t trax_error_table_code(uint32_t index) {
    return index < std::size(kErrorTable) ? kErrorTable[index].code : 0;
}
