// Message boxes on Windows: the system's box, unless a test has installed a hook.
#include "messagebox_hook.h"

int WINAPI TraxMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    int result = 0;
    if (trax::platform::callMessageBoxHook(caption, text, type, &result))
        return result;
    return MessageBoxA(owner, text, caption, type);
}
