#include "messagebox_hook.h"

#include <mutex>

namespace trax::platform {
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

bool callMessageBoxHook(LPCSTR caption, LPCSTR text, UINT type, int *result) {
    TRAX_MESSAGEBOX_HOOK hook;
    void *context;
    {
        MessageBoxState &s = state();
        std::lock_guard guard(s.lock);
        hook = s.hook;
        context = s.context;
    }
    if (hook == nullptr)
        return false;
    *result =
        hook(caption != nullptr ? caption : "Error", text != nullptr ? text : "", type, context);
    return true;
}

} // namespace trax::platform

void WINAPI TraxSetMessageBoxHook(TRAX_MESSAGEBOX_HOOK hook, void *context) {
    trax::platform::MessageBoxState &s = trax::platform::state();
    std::lock_guard guard(s.lock);
    s.hook = hook;
    s.context = hook != nullptr ? context : nullptr;
}
