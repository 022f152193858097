// Version data of velk_winspec, shared by the Windows version resource (velk_winspec.rc)
// and the version strings embedded in the Linux library (version_strings.cpp), so that both
// carry the same values. Plain macros only: the resource compiler reads this file too.
#ifndef VELK_WINSPEC_VERSION_DATA_H
#define VELK_WINSPEC_VERSION_DATA_H

#define WINSPEC_VER_MAJOR 3
#define WINSPEC_VER_MINOR 1
#define WINSPEC_VER_PATCH 0
#define WINSPEC_VER_BUILD 0

// Fixed part: private build, 32-bit Windows on the NT family, dynamic-link library.
#define WINSPEC_FILE_FLAGS 0x8L
#define WINSPEC_FILE_OS 0x40004L
#define WINSPEC_FILE_TYPE 0x2L
#define WINSPEC_FILE_FLAGS_TEXT "0x8 (private build)"
#define WINSPEC_FILE_OS_TEXT "0x40004 (32-bit Windows, NT family)"
#define WINSPEC_FILE_TYPE_TEXT "0x2 (dynamic-link library)"

#define WINSPEC_LANGUAGE "040904B0"
#define WINSPEC_COMMENTS "DLL with Windows version specific handling"
#define WINSPEC_COMPANY_NAME "TRAX device-driver framework"
#define WINSPEC_FILE_DESCRIPTION "Windows NT 4.0 DLL"
#define WINSPEC_FILE_VERSION "3.1.0.0"
#define WINSPEC_INTERNAL_NAME "velk_winspec.dll"
#define WINSPEC_LEGAL_COPYRIGHT "TRAX device-driver framework"
#define WINSPEC_ORIGINAL_FILENAME "velk_winspec.dll"
#define WINSPEC_PRIVATE_BUILD "NT 4.0 variant"
#define WINSPEC_PRODUCT_NAME "TRAX velk_winspec"
#define WINSPEC_PRODUCT_VERSION "3.1.0.0"

#endif
