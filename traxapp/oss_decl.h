/* Includes the public usr_oss.h from C++.
 *
 * The header declares G_UOS_DbgLev as `extern "C" ... extern`, which C++ accepts only inside
 * a linkage block. Included inside one, with the per-declaration linkage switched off, it
 * declares the same C names. */
#ifndef TRAXAPP_OSS_DECL_H
#define TRAXAPP_OSS_DECL_H

#include "trax_export.h"
#undef TRAX_EXTERN_C
#define TRAX_EXTERN_C
extern "C" {
#include "usr_oss.h"
}
#undef TRAX_EXTERN_C
#define TRAX_EXTERN_C extern "C"

#endif
