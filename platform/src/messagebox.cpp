// Message boxes without a window system: the text goes to standard error as one line and
// the call returns as if OK had been pressed, unless a test has installed a hook.
#include <cstdio>
#include <string>

#include "errors.h"
#include "messagebox_hook.h"

namespace {

// One write, so lines from several threads do not interleave.
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
    int result = 0;
    if (trax::platform::callMessageBoxHook(caption, text, type, &result))
        return result;
    // A missing caption reads "Error", as on Windows; a missing text is empty.
    return writeToStandardError(caption != nullptr ? caption : "Error",
                                text != nullptr ? text : "");
}

} // namespace

// Without memory for the line the box is not shown: it returns 0 with the last error set.
int WINAPI MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
    return trax::guardEntry([&] { return showMessageBox(text, caption, type); },
                            trax::platform::zeroOnFault);
}
