// String length and memory copy as the Windows callers use them.
#include <climits>
#include <cstring>

#include "trax_win32.h"

int WINAPI lstrlenA(LPCSTR str) {
    if (str == nullptr)
        return 0;
    const size_t length = std::strlen(str);
    return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}

void WINAPI RtlMoveMemory(void *dest, const void *src, SIZE_T length) {
    if (length != 0)
        std::memmove(dest, src, length);
}
