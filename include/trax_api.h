// Device API library velk_trax_api: paths to devices, status codes, data transfer.
#ifndef TRAX_API_H
#define TRAX_API_H

#include <stdint.h>

#include "trax_codes.h"
#include "trax_export.h"

/// Block record of a block status code: the data area and its size in bytes.
typedef struct {
    int32_t size; ///< bytes in (and, for M_getstat, bytes delivered)
    void *data;   ///< address of the data area
} M_SG_BLOCK;

/// Opens a path to the named device; returns the path (the device handle) or -1.
TRAX_API int32_t TRAX_CALL M_open(const char *device);
/// Closes a path; 0 or -1.
TRAX_API int32_t TRAX_CALL M_close(int32_t path);
/// Reads one value from the current channel into *valueP; 0 or -1.
TRAX_API int32_t TRAX_CALL M_read(int32_t path, int32_t *valueP);
/// Writes one value to the current channel; 0 or -1.
TRAX_API int32_t TRAX_CALL M_write(int32_t path, int32_t value);
/// Standard code: *dataP goes in, the status value comes back in it.
/// Block code: dataP is the address of an M_SG_BLOCK. 0 or -1.
TRAX_API int32_t TRAX_CALL M_getstat(int32_t path, int32_t code, int32_t *dataP);
/// Standard code: data is the value. Block code: data is the address of an M_SG_BLOCK.
/// The argument is pointer-sized so that it can carry an address. 0 or -1.
TRAX_API int32_t TRAX_CALL M_setstat(int32_t path, int32_t code, intptr_t data);
/// Reads up to length bytes into buffer; returns the bytes read or -1.
TRAX_API int32_t TRAX_CALL M_getblock(int32_t path, uint8_t *buffer, int32_t length);
/// Writes length bytes from buffer; returns the bytes written or -1.
TRAX_API int32_t TRAX_CALL M_setblock(int32_t path, const uint8_t *buffer, int32_t length);
/// Returns the library's text for any error number (never null, never to be freed).
TRAX_API char *TRAX_CALL M_errstring(int32_t errCode);
/// Writes the text for errCode into strBuf (512 bytes) and returns strBuf.
TRAX_API char *TRAX_CALL M_errstringTs(int32_t errCode, char *strBuf);

// Upper-case entry names: the same functions, bound by name by callers that load the
// library at run time.
TRAX_API int32_t TRAX_CALL M_OPEN(const char *device);
TRAX_API int32_t TRAX_CALL M_CLOSE(int32_t path);
TRAX_API int32_t TRAX_CALL M_READ(int32_t path, int32_t *valueP);
TRAX_API int32_t TRAX_CALL M_WRITE(int32_t path, int32_t value);
TRAX_API int32_t TRAX_CALL M_GETSTAT(int32_t path, int32_t code, int32_t *dataP);
TRAX_API int32_t TRAX_CALL M_SETSTAT(int32_t path, int32_t code, intptr_t data);
TRAX_API int32_t TRAX_CALL M_GETBLOCK(int32_t path, uint8_t *buffer, int32_t length);
TRAX_API int32_t TRAX_CALL M_SETBLOCK(int32_t path, const uint8_t *buffer, int32_t length);
TRAX_API char *TRAX_CALL M_ERRSTRING(int32_t errCode);

#endif
