/* Message boxes on Windows: the system's box, unless a test has installed a hook. */
#include <mutex>

#include "trax_win32.h"

namespace {

struct MessageBoxState {
    std::mutex lock;
    TRAX_MESSAGEBOX_HOOK hook = nullptr;
    void *context = nullptr;
};

MessageBoxState &state() {
    static MessageBoxState *const instance = new MessageBoxState;
    return *instance;
}

} // namespace

int WINAPI TraxMessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    TRAX_MESSAGEBOX_HOOK hook;
    void *context;
    {
        MessageBoxState &s = state();
        std::lock_guard guard(s.lock);
        hook = s.hook;
        context = s.context;
    }
    if (hook == nullptr)
        return MessageBoxA(owner, text, caption, type);
    /* The hook sees what the box would show: a missing caption reads "Error". */
    return hook(caption != nullptr ? caption : "Error", text != nullptr ? text : "", type, context);
}

void WINAPI TraxSetMessageBoxHook(TRAX_MESSAGEBOX_HOOK hook, void *context) {
    MessageBoxState &s = state();
    std::lock_guard guard(s.lock);
    s.hook = hook;
    s.context = hook != nullptr ? context : nullptr;
}
