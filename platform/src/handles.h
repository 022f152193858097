// Kernel objects and the process-wide handle table.
#ifndef TRAX_PLATFORM_HANDLES_H
#define TRAX_PLATFORM_HANDLES_H

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <utility>

#include "errors.h"
#include "trax_win32.h"
#include "wait_core.h"

namespace trax::platform {

/// Base of every object a handle can refer to. The table holds one reference per handle;
/// a call in progress holds the handle's slot in use, so an object outlives a CloseHandle
/// that races with a call on it.
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

/// Largest number of handles open at the same time, and of internal ones besides.
inline constexpr size_t kMaxHandles = 16384;
inline constexpr size_t kMaxInternalHandles = 1024;

/// Enters the object in the table and returns its new handle, or a null handle with the
/// last error set when the table is full. While the calling thread makes internal objects
/// (TraxSetInternalHandles) the handle comes from the values above kMaxHandles.
HANDLE insertHandle(std::shared_ptr<KernelObject> object);

/// Removes the handle from the table; the object dies once no call uses it any more.
/// Returns false with ERROR_INVALID_HANDLE when the handle is not open.
bool removeHandle(HANDLE handle);

/// The object behind an open handle, kept alive for as long as this holds it: a
/// CloseHandle meanwhile takes the handle out of the table at once, but the object is
/// destroyed only after the last holder has let go. Holding costs no lock and no shared
/// reference count, only a counter in the handle's own slot.
class HandleUse {
  public:
    HandleUse() noexcept = default;
    /// Takes the object of an open handle, or holds nothing with ERROR_INVALID_HANDLE set.
    explicit HandleUse(HANDLE handle) noexcept;
    ~HandleUse() { letGo(); }
    HandleUse(HandleUse &&other) noexcept
        : slot_(other.slot_), object_(std::exchange(other.object_, nullptr)) {}
    HandleUse &operator=(HandleUse &&other) noexcept {
        if (this != &other) {
            letGo();
            slot_ = other.slot_;
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    HandleUse(const HandleUse &) = delete;
    HandleUse &operator=(const HandleUse &) = delete;

    KernelObject *get() const noexcept { return object_; }
    /// True while the handle held is open (not yet closed by CloseHandle).
    bool isOpen() const noexcept;

  private:
    void letGo() noexcept;

    size_t slot_ = 0;
    KernelObject *object_ = nullptr;
};

/// An open handle's object of type T held in use (see HandleUse); empty for any other.
template <class T> class Held {
  public:
    Held() noexcept = default;
    explicit Held(HandleUse use) noexcept : use_(std::move(use)) {}

    T *get() const noexcept { return static_cast<T *>(use_.get()); }
    T *operator->() const noexcept { return get(); }
    explicit operator bool() const noexcept { return use_.get() != nullptr; }

  private:
    HandleUse use_;
};

/// Most handles in one set (see HandleSetUse).
inline constexpr size_t kMaxHandleSet = 64;

/// The objects behind up to kMaxHandleSet open handles, held in use for one call. A thread
/// keeps the handles of its last set held between its calls, so that a call with the same
/// handles again, such as a listener that waits on its events round after round, checks each
/// of them with one load instead of taking it anew. Such a hold never keeps a closed handle's
/// object alive: a CloseHandle of a handle in a thread's set lets go of the set unless the
/// thread is inside a call with it, and a call that ends after a close during it lets go of
/// the closed handles before it returns. A thread's set also goes when the thread ends.
class HandleSetUse {
  public:
    /// Holds the handles' objects, or holds nothing with ERROR_INVALID_HANDLE set when one
    /// of them is not open (ERROR_INVALID_PARAMETER for more than kMaxHandleSet).
    HandleSetUse(const HANDLE *handles, size_t count) noexcept;
    ~HandleSetUse();
    HandleSetUse(const HandleSetUse &) = delete;
    HandleSetUse &operator=(const HandleSetUse &) = delete;

    /// The objects in the order of the handles; null when the set could not be held.
    KernelObject *const *objects() const noexcept { return objects_; }
    /// True when these are the same handles as in the thread's previous set, held ever since
    /// (so they still refer to the same objects).
    bool sameAsBefore() const noexcept { return same_; }

  private:
    bool kept_ = false; // held in the thread's kept set rather than here
    bool same_ = false;
    KernelObject *const *objects_ = nullptr;
    // Held here only when the thread has no kept set or is in a call with it already.
    std::optional<std::array<HandleUse, kMaxHandleSet>> uses_;
    std::array<KernelObject *, kMaxHandleSet> own_;
};

/// The object behind an open handle, or an empty hold with ERROR_INVALID_HANDLE.
inline Held<KernelObject> findHandle(HANDLE handle) {
    return Held<KernelObject>(HandleUse(handle));
}

/// The object behind an open handle of type T (which names its kind as T::kKind), or an
/// empty hold with ERROR_INVALID_HANDLE for any other handle.
template <class T> Held<T> findHandleOf(HANDLE handle) {
    HandleUse use(handle);
    if (use.get() == nullptr)
        return {};
    if (use.get()->kind() != T::kKind) {
        fail(ERROR_INVALID_HANDLE);
        return {};
    }
    return Held<T>(std::move(use));
}

} // namespace trax::platform

#endif
