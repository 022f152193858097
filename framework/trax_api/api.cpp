// C entry points of the device API library. Each turns the kernel's status into the
// library's convention: -1 on failure with the error number as the thread's last error.
#include "sim_kernel.h"
#include "trax_api.h"
#include "trax_entry_guard.h"
#include "trax_error_text.h"
#include "trax_errors.h"
#include "trax_win32.h"

namespace {

// The status of a kernel request that threw: running out of memory becomes ERR_MK_NO_MEM,
// any other failure of the runtime (such as a thread that cannot be started) ERR_MK.
sim::Status kernel_fault(trax::EntryFault fault) {
    return fault == trax::EntryFault::NoMemory ? ERR_MK_NO_MEM : ERR_MK;
}
int32_t fail(sim::Status status) {
    SetLastError(status);
    return -1;
}

// 0 on success, otherwise -1 with the last error set.
int32_t outcome(sim::Status status) {
    return status == 0 ? 0 : fail(status);
}

// The number of bytes moved on success, otherwise -1 with the last error set.
int32_t count_or_fail(sim::Status status, int32_t count) {
    return status == 0 ? count : fail(status);
}

} // namespace

extern "C" {

TRAX_EXPORT int32_t TRAX_CALL M_open(const char *device) {
    int32_t path = -1;
    const sim::Status status =
        trax::guardEntry([&] { return sim::open_path(device, &path); }, kernel_fault);
    return status == 0 ? path : fail(status);
}

TRAX_EXPORT int32_t TRAX_CALL M_close(int32_t path) {
    return outcome(trax::guardEntry([&] { return sim::close_path(path); }, kernel_fault));
}

TRAX_EXPORT int32_t TRAX_CALL M_read(int32_t path, int32_t *valueP) {
    return outcome(trax::guardEntry([&] { return sim::read_value(path, valueP); }, kernel_fault));
}

TRAX_EXPORT int32_t TRAX_CALL M_write(int32_t path, int32_t value) {
    return outcome(trax::guardEntry([&] { return sim::write_value(path, value); }, kernel_fault));
}

TRAX_EXPORT int32_t TRAX_CALL M_getstat(int32_t path, int32_t code, int32_t *dataP) {
    return outcome(
        trax::guardEntry([&] { return sim::get_stat(path, code, dataP); }, kernel_fault));
}

TRAX_EXPORT int32_t TRAX_CALL M_setstat(int32_t path, int32_t code, intptr_t data) {
    return outcome(trax::guardEntry([&] { return sim::set_stat(path, code, data); }, kernel_fault));
}

TRAX_EXPORT int32_t TRAX_CALL M_getblock(int32_t path, uint8_t *buffer, int32_t length) {
    int32_t done = 0;
    const sim::Status status =
        trax::guardEntry([&] { return sim::get_block(path, buffer, length, &done); }, kernel_fault);
    return count_or_fail(status, done);
}

TRAX_EXPORT int32_t TRAX_CALL M_setblock(int32_t path, const uint8_t *buffer, int32_t length) {
    int32_t done = 0;
    const sim::Status status =
        trax::guardEntry([&] { return sim::set_block(path, buffer, length, &done); }, kernel_fault);
    return count_or_fail(status, done);
}

// The table's texts are constant; the interface hands them out as char * for callers
// that were written before const existed, and they must not be written to.
TRAX_EXPORT char *TRAX_CALL M_errstring(int32_t errCode) {
    return const_cast<char *>(trax_error_text(static_cast<uint32_t>(errCode)));
}

// A null buffer gets the text of M_errstring instead of a null result that the caller
// would print.
TRAX_EXPORT char *TRAX_CALL M_errstringTs(int32_t errCode, char *strBuf) {
    if (strBuf == nullptr) {
        return M_errstring(errCode);
    }
    return trax_error_text_into(static_cast<uint32_t>(errCode), strBuf);
}

TRAX_EXPORT int32_t TRAX_CALL M_OPEN(const char *device) {
    return M_open(device);
}
TRAX_EXPORT int32_t TRAX_CALL M_CLOSE(int32_t path) {
    return M_close(path);
}
TRAX_EXPORT int32_t TRAX_CALL M_READ(int32_t path, int32_t *valueP) {
    return M_read(path, valueP);
}
TRAX_EXPORT int32_t TRAX_CALL M_WRITE(int32_t path, int32_t value) {
    return M_write(path, value);
}
TRAX_EXPORT int32_t TRAX_CALL M_GETSTAT(int32_t path, int32_t code, int32_t *dataP) {
    return M_getstat(path, code, dataP);
}
TRAX_EXPORT int32_t TRAX_CALL M_SETSTAT(int32_t path, int32_t code, intptr_t data) {
    return M_setstat(path, code, data);
}
TRAX_EXPORT int32_t TRAX_CALL M_GETBLOCK(int32_t path, uint8_t *buffer, int32_t length) {
    return M_getblock(path, buffer, length);
}
TRAX_EXPORT int32_t TRAX_CALL M_SETBLOCK(int32_t path, const uint8_t *buffer, int32_t length) {
    return M_setblock(path, buffer, length);
}
TRAX_EXPORT char *TRAX_CALL M_ERRSTRING(int32_t errCode) {
    return M_errstring(errCode);
}

} // extern "C"
