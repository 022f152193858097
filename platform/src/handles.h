/* Kernel objects and the process-wide handle table. */
#ifndef TRAX_PLATFORM_HANDLES_H
#define TRAX_PLATFORM_HANDLES_H

#include <memory>

#include "errors.h"
#include "trax_win32.h"
#include "wait_core.h"

namespace trax::platform {

/// Base of every object a handle can refer to. The table holds one reference per handle;
/// a call in progress holds another, so an object outlives a CloseHandle that races with
/// a call on it.
class KernelObject {
  public:
    enum class Kind { thread, semaphore, event, device, mutex, mapping };

    explicit KernelObject(Kind kind) noexcept : kind_(kind) {}
    virtual ~KernelObject() = default;
    KernelObject(const KernelObject &) = delete;
    KernelObject &operator=(const KernelObject &) = delete;

    Kind kind() const noexcept { return kind_; }

    /// Waits until the object is signalled (consuming the signal where its kind does);
    /// returns WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED with the last error set.
    virtual DWORD waitFor(const Deadline &deadline);

  private:
    Kind kind_;
};

/// Largest number of handles open at the same time.
inline constexpr size_t kMaxHandles = 16384;

/// Enters the object in the table and returns its new handle, or a null handle with the
/// last error set when the table is full.
HANDLE insertHandle(std::shared_ptr<KernelObject> object);

/// Removes the handle from the table; the object dies once no call uses it any more.
/// Returns false with ERROR_INVALID_HANDLE when the handle is not open.
bool removeHandle(HANDLE handle);

/// The object behind an open handle, or null with ERROR_INVALID_HANDLE.
std::shared_ptr<KernelObject> findHandle(HANDLE handle);

/// The object behind an open handle of type T (which names its kind as T::kKind), or null
/// with ERROR_INVALID_HANDLE for any other handle.
template <class T> std::shared_ptr<T> findHandleOf(HANDLE handle) {
    std::shared_ptr<KernelObject> object = findHandle(handle);
    if (!object)
        return nullptr;
    if (object->kind() != T::kKind) {
        fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

} // namespace trax::platform

#endif
