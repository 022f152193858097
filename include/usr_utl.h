// Utility library velk_usr_utl: identification, hexadecimal text conversion, dumps.
#ifndef USR_UTL_H
#define USR_UTL_H

#include <stdint.h>

#include "trax_export.h"

/// Identification text of the library.
TRAX_API char *TRAX_CALL UTL_Ident(void);
/// Value of a text of hexadecimal digits (an optional "0x" prefix is accepted).
TRAX_API uint32_t TRAX_CALL UTL_Atox(const char *str);
/// Prints the title and a hex dump of size bytes in units of fmt (1, 2 or 4) bytes.
TRAX_API void TRAX_CALL UTL_Memdump(const char *title, const char *buf, uint32_t size,
                                    uint32_t fmt);
/// Writes the lowest nrBits bits of val as text into buf and returns buf.
TRAX_API char *TRAX_CALL UTL_Bindump(uint32_t val, uint32_t nrBits, char *buf);

TRAX_API char *TRAX_CALL UTL_IDENT(void);
TRAX_API uint32_t TRAX_CALL UTL_ATOX(const char *str);
TRAX_API char *TRAX_CALL UTL_BINDUMP(uint32_t val, uint32_t nrBits, char *buf);

#endif
