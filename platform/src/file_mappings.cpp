// File mappings backed by memory: a named one is a shared region of the calling user,
// an unnamed one a region only this process can reach. Each view is its own mapping of
// the region and keeps the region alive until it is unmapped, as on Windows.
#include <sys/mman.h>

#include <cerrno>
#include <map>
#include <mutex>

#include "handles.h"
#include "shared_regions.h"

namespace trax::platform {
namespace {

constexpr char kKindName[] = "map";
// View offsets are multiples of this, Windows' allocation granularity.
constexpr uint64_t kViewGranularity = 65536;

class MappingObject final : public KernelObject {
  public:
    static constexpr Kind kKind = Kind::mapping;

    MappingObject(std::shared_ptr<SharedRegion> region, bool writable) noexcept
        : KernelObject(kKind), region_(std::move(region)), writable_(writable) {}

    const std::shared_ptr<SharedRegion> &region() const { return region_; }
    bool writable() const { return writable_; }

  private:
    std::shared_ptr<SharedRegion> region_;
    bool writable_;
};

struct View {
    std::shared_ptr<SharedRegion> region;
    size_t length;
};

// Views of this process by base address. Never destroyed: threads may unmap during exit.
struct ViewTable {
    std::mutex lock;
    std::map<uintptr_t, View> views;
};

ViewTable &viewTable() {
    static ViewTable *const instance = new ViewTable;
    return *instance;
}

bool wantsWrite(DWORD access) {
    return (access & FILE_MAP_WRITE) != 0 || access == FILE_MAP_ALL_ACCESS;
}

std::shared_ptr<SharedRegion> mappingRegion(LPCSTR name, uint64_t size, bool create,
                                            bool &existed) {
    existed = false;
    if (name == nullptr || name[0] == '\0')
        return createPrivateRegion(size, nullptr);
    return openSharedRegion(kKindName, name, size, create, nullptr, existed);
}

HANDLE openMapping(LPCSTR name, uint64_t size, bool create, bool writable) {
    return trax::guardEntry(
        [&]() -> HANDLE {
            bool existed = false;
            auto region = mappingRegion(name, size, create, existed);
            if (!region)
                return nullptr;
            HANDLE handle =
                insertHandle(std::make_shared<MappingObject>(std::move(region), writable));
            if (handle != nullptr)
                SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
            return handle;
        },
        handleOnFault);
}

LPVOID mapView(const MappingObject &mapping, bool write, uint64_t offset, SIZE_T bytes) {
    const uint64_t size = mapping.region()->size();
    if (offset % kViewGranularity != 0) {
        fail(ERROR_MAPPED_ALIGNMENT);
        return nullptr;
    }
    if (offset >= size || bytes > size - offset) {
        fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const size_t length = bytes != 0 ? bytes : static_cast<size_t>(size - offset);
    void *base =
        mmap(nullptr, length, write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED,
             mapping.region()->fd(), static_cast<off_t>(SharedRegion::dataOffset() + offset));
    if (base == MAP_FAILED) {
        failErrno(errno);
        return nullptr;
    }
    try {
        ViewTable &t = viewTable();
        std::lock_guard guard(t.lock);
        t.views[reinterpret_cast<uintptr_t>(base)] = View{mapping.region(), length};
    } catch (const std::bad_alloc &) {
        munmap(base, length);
        fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return base;
}

} // namespace
} // namespace trax::platform

using namespace trax::platform;

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect,
                                 DWORD maximumSizeHigh, DWORD maximumSizeLow, LPCSTR name) {
    if (file != INVALID_HANDLE_VALUE)
        return failHandle(ERROR_INVALID_HANDLE);
    if (protect != PAGE_READWRITE && protect != PAGE_READONLY)
        return failHandle(ERROR_INVALID_PARAMETER);
    const uint64_t size = (uint64_t{maximumSizeHigh} << 32) | maximumSizeLow;
    return openMapping(name, size, true, protect == PAGE_READWRITE);
}

HANDLE WINAPI OpenFileMappingA(DWORD access, BOOL, LPCSTR name) {
    if (name == nullptr || name[0] == '\0')
        return failHandle(ERROR_INVALID_PARAMETER);
    return openMapping(name, 0, false, wantsWrite(access));
}

LPVOID WINAPI MapViewOfFile(HANDLE handle, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                            SIZE_T bytes) {
    auto mapping = findHandleOf<MappingObject>(handle);
    if (!mapping)
        return nullptr;
    const bool write = wantsWrite(access);
    if (write && !mapping->writable()) {
        fail(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return mapView(*mapping.get(), write, (uint64_t{offsetHigh} << 32) | offsetLow, bytes);
}

BOOL WINAPI UnmapViewOfFile(LPCVOID base) {
    View view;
    {
        ViewTable &t = viewTable();
        std::lock_guard guard(t.lock);
        auto it = t.views.find(reinterpret_cast<uintptr_t>(base));
        if (it == t.views.end())
            return fail(ERROR_INVALID_ADDRESS);
        view = std::move(it->second);
        t.views.erase(it);
    }
    munmap(const_cast<void *>(base), view.length);
    return TRUE;
}
