/* Includes the public usr_oss.h from C++ sources of traxgui.
 *
 * The header declares G_UOS_DbgLev as `extern "C" ... extern`, which C++ refuses outside a
 * linkage block. Included inside one, with the per-declaration linkage switched off, it
 * declares the same C names; traxgui only takes the entries' types from it. */
#ifndef TRAXGUI_OSSDECL_H
#define TRAXGUI_OSSDECL_H

#include "trax_export.h"
#undef TRAX_EXTERN_C
#define TRAX_EXTERN_C
extern "C" {
#include "usr_oss.h"
}
#undef TRAX_EXTERN_C
#define TRAX_EXTERN_C extern "C"

#endif
