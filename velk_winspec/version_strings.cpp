// Version data of the Linux build, kept in the library file itself so that `strings` and
// `readelf -p .velk_version` show it, as the version resource does on Windows. The block is
// constant data: loading the library runs no code for it.
#include "version_data.h"

namespace {

/// One "Name=Value" string per field, each zero-terminated.
[[gnu::used, gnu::section(".velk_version")]] const char kVersionBlock[] =
    "FileVersion=" WINSPEC_FILE_VERSION "\0"
    "ProductVersion=" WINSPEC_PRODUCT_VERSION "\0"
    "FileFlags=" WINSPEC_FILE_FLAGS_TEXT "\0"
    "FileOS=" WINSPEC_FILE_OS_TEXT "\0"
    "FileType=" WINSPEC_FILE_TYPE_TEXT "\0"
    "Language=" WINSPEC_LANGUAGE "\0"
    "Comments=" WINSPEC_COMMENTS "\0"
    "CompanyName=" WINSPEC_COMPANY_NAME "\0"
    "FileDescription=" WINSPEC_FILE_DESCRIPTION "\0"
    "InternalName=" WINSPEC_INTERNAL_NAME "\0"
    "LegalCopyright=" WINSPEC_LEGAL_COPYRIGHT "\0"
    "OriginalFilename=" WINSPEC_ORIGINAL_FILENAME "\0"
    "PrivateBuild=" WINSPEC_PRIVATE_BUILD "\0"
    "ProductName=" WINSPEC_PRODUCT_NAME "\0";

} // namespace
