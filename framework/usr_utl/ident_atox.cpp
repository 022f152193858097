// Identification text and hexadecimal text conversion.
#include <cctype>

#include "usr_utl.h"

namespace {

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

extern "C" {

TRAX_EXPORT char *TRAX_CALL UTL_Ident(void) {
    static char ident[] = "USR_UTL - TRAX utility library, simulated framework 1.0";
    return ident;
}

// Leading blanks and a "0x" prefix are skipped; conversion stops at the first character
// that is not a hexadecimal digit. Digits beyond eight shift the high ones out, so the
// value is that of the last eight digits.
TRAX_EXPORT uint32_t TRAX_CALL UTL_Atox(const char *str) {
    if (str == nullptr) {
        return 0;
    }
    while (std::isspace(static_cast<unsigned char>(*str))) {
        ++str;
    }
    if (str[0] == '0' && (str[1] == 'x' || str[1] == 'X')) {
        str += 2;
    }
    uint32_t value = 0;
    for (int digit = hex_digit_value(*str); digit >= 0; digit = hex_digit_value(*++str)) {
        value = (value << 4) | static_cast<uint32_t>(digit);
    }
    return value;
}

TRAX_EXPORT char *TRAX_CALL UTL_IDENT(void) {
    return UTL_Ident();
}
TRAX_EXPORT uint32_t TRAX_CALL UTL_ATOX(const char *str) {
    return UTL_Atox(str);
}

} // extern "C"
