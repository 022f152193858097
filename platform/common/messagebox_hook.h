// The message-box hook that tests install with TraxSetMessageBoxHook, shared by the POSIX and
// the Windows platform layer.
#ifndef TRAX_PLATFORM_MESSAGEBOX_HOOK_H
#define TRAX_PLATFORM_MESSAGEBOX_HOOK_H

#include "trax_win32.h"

namespace trax::platform {

/// Calls the installed hook with caption and text as the box would show them (a null
/// caption reads "Error", a null text is empty): true with its result in *result, false
/// when no hook is installed.
bool callMessageBoxHook(LPCSTR caption, LPCSTR text, UINT type, int *result);

} // namespace trax::platform

#endif
