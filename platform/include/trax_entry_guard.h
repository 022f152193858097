// The guard of the C interface. The exported entries of the platform layer and of the
// framework libraries that may allocate or start threads run their body through
// trax::guardEntry, so that no C++ exception ever reaches a C caller: running out of
// memory and any other failure of the runtime become the entry's own failure result.
#ifndef TRAX_ENTRY_GUARD_H
#define TRAX_ENTRY_GUARD_H

#ifdef __cplusplus

#include <new>

namespace trax {

/// Why a guarded entry's body did not finish.
enum class EntryFault {
    NoMemory, ///< an allocation failed
    Runtime,  ///< any other exception, such as a thread that could not be started
};

/// Returns body(); when the body throws, returns onFault(fault) instead, which also sets
/// whatever error state the entry reports failures through.
template <class Body, class OnFault>
auto guardEntry(Body &&body, OnFault &&onFault) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc &) {
        return onFault(EntryFault::NoMemory);
    } catch (...) {
        return onFault(EntryFault::Runtime);
    }
}

} // namespace trax

#endif

#endif
