// Run-time binding of the framework libraries. traxgui links none of them: each library is
// loaded by name at the first call of one of its entries, and each entry is found by its
// upper-case name. What cannot be found is reported in a message box that names it, and the
// call is skipped, so the form that asked stays usable.
#ifndef TRAXGUI_LIBBINDING_H
#define TRAXGUI_LIBBINDING_H

#include <QString>

#include <cstdint>
#include <optional>
#include <type_traits>

namespace traxgui {

enum class TraxLibrary { TraxApi, UsrOss, UsrUtl };

/// The library's name without prefix and suffix, e.g. "velk_trax_api".
QString LibraryName(TraxLibrary library);

/// The file that loads the library for a program in programFolder: the library beside the
/// program (where the build puts it), else the one in the library folder of the installation
/// the program belongs to (../lib/<multiarch>), else the plain name for the system's
/// search path.
QString LibraryFileFor(TraxLibrary library, const QString &programFolder);

/// The address of the entry, loading its library first if needed; null after a message box
/// that names the library or entry that is missing.
void *BindEntry(TraxLibrary library, const char *entryName);

/// The thread's last error as it was right after the most recent library call made through
/// CallEntry; window operations after the call cannot disturb it.
uint32_t LastLibraryError();

/// Records the last error of the call that has just returned. CallEntry does this itself.
void CaptureLastLibraryError();

/// Calls the entry with the given arguments, captures the last error right after it returns
/// and gives its result; no value when the entry could not be bound. Fn is the entry's
/// function type, best taken from its declaration: CallEntry<decltype(M_OPEN)>(...).
template <typename Fn, typename... Args>
std::optional<std::invoke_result_t<Fn *, Args...>> CallEntry(TraxLibrary library,
                                                             const char *entryName, Args... args) {
    auto *entry = reinterpret_cast<Fn *>(BindEntry(library, entryName));
    if (entry == nullptr)
        return std::nullopt;
    auto result = entry(args...);
    CaptureLastLibraryError();
    return result;
}

/// Test seam: loads the library from fileName instead of its usual places (an empty name
/// restores them) and forgets every entry bound so far, as if no call had been made yet.
void SetLibraryFileOverride(TraxLibrary library, const QString &fileName);

} // namespace traxgui

#endif
