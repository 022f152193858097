/* Message boxes without a window system: the text goes to standard error as one line and
 * the call returns as if OK had been pressed, unless a test has installed a hook. */
#include <cstdio>
#include <mutex>
#include <string>

#include "errors.h"

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

/* One write, so lines from several threads do not interleave. */
int writeToStandardError(LPCSTR caption, LPCSTR text) {
    std::string line = caption;
    line += ": ";
    line += text;
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    return IDOK;
}

int showMessageBox(LPCSTR text, LPCSTR caption, UINT type) {
    /* A missing caption reads "Error", as on Windows; a missing text is empty. */
    const char *shownCaption = caption != nullptr ? caption : "Error";
    const char *shownText = text != nullptr ? text : "";
    TRAX_MESSAGEBOX_HOOK hook;
    void *context;
    {
        MessageBoxState &s = state();
        std::lock_guard guard(s.lock);
        hook = s.hook;
        context = s.context;
    }
    if (hook != nullptr)
        return hook(shownCaption, shownText, type, context);
    return writeToStandardError(shownCaption, shownText);
}

} // namespace

/* Without memory for the line the box is not shown: it returns 0 with the last error set. */
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    return trax::guardEntry([&] { return showMessageBox(text, caption, type); },
                            trax::platform::zeroOnFault);
}

void WINAPI TraxSetMessageBoxHook(TRAX_MESSAGEBOX_HOOK hook, void *context) {
    MessageBoxState &s = state();
    std::lock_guard guard(s.lock);
    s.hook = hook;
    s.context = hook != nullptr ? context : nullptr;
}
