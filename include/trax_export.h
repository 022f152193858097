// Export and calling-convention macros shared by the framework's public headers.
#ifndef TRAX_EXPORT_H
#define TRAX_EXPORT_H

#ifdef __cplusplus
#define TRAX_EXTERN_C extern "C"
#else
#define TRAX_EXTERN_C
#endif

#if defined(_WIN32)
#define TRAX_EXPORT __declspec(dllexport)
#define TRAX_CALL __stdcall
#else
#define TRAX_EXPORT __attribute__((visibility("default")))
#define TRAX_CALL
#endif

/// Marks a function of a framework library's C interface.
#define TRAX_API TRAX_EXTERN_C TRAX_EXPORT

#endif
