// Texts of the framework's error numbers and of the Windows error codes it passes on.
//
// One table serves every library of the framework (M_errstring, UOS_ErrString), so that a
// number reads the same whichever library is asked. Every text starts with the number's
// symbolic name, a colon and a short lower-case description of what went wrong.
#ifndef TRAX_ERROR_TEXT_H
#define TRAX_ERROR_TEXT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/// Size of the caller's buffer for trax_error_text_into, the terminating zero included.
#define TRAX_ERROR_TEXT_MAX 512

/// Returns the text for code: never null. Known numbers get a static text; any other
/// number gets "unknown error 0x%08x" in a buffer of the calling thread, valid until the
/// thread's next call for an unknown number.
const char *trax_error_text(uint32_t code);

/// Writes the text for code into buf (TRAX_ERROR_TEXT_MAX bytes) and returns buf.
char *trax_error_text_into(uint32_t code, char *buf);

/// Returns the static text for code, or null when the table does not know the number.
const char *trax_error_text_known(uint32_t code);

/// Number of entries in the table and the code of entry index (0 <= index < count);
/// lets tests and documentation walk the whole table.
uint32_t trax_error_table_size(void);
uint32_t trax_error_table_code(uint32_t index);

#ifdef __cplusplus
}
#endif

#endif
