// Memory that processes of one user share under a name, with the lifetime of a Windows
// named object: it exists while some process holds it and is removed when the last one
// lets go. A crashed process cannot keep it: each region lists the processes attached to
// it, and a region whose processes have all ended is reclaimed at the next open.
//
// A region lives in /dev/shm as trax-<uid>-<kind>-<name>, mode 0600. It is made whole
// under no name and then linked in, so no process ever sees a half-made region; a name
// that is a symbolic link, or a file of another owner or mode, is refused.
#ifndef TRAX_PLATFORM_SHARED_REGIONS_H
#define TRAX_PLATFORM_SHARED_REGIONS_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace trax::platform {

struct RegionHeader;

/// One process's hold on a region: the region's data stays mapped while it lives.
class SharedRegion {
  public:
    SharedRegion(int fd, RegionHeader *header, std::string path) noexcept
        : fd_(fd), header_(header), path_(std::move(path)) {}
    ~SharedRegion();
    SharedRegion(const SharedRegion &) = delete;
    SharedRegion &operator=(const SharedRegion &) = delete;

    /// The data, which starts at a page boundary after the bookkeeping.
    void *data() const;
    uint64_t size() const;
    /// Descriptor of the region and the offset of its data in it, for further views.
    int fd() const { return fd_; }
    static uint64_t dataOffset();

    /// Takes this process out of the region's list (removing the name if it was the last)
    /// while keeping the memory mapped: for the end of the process, when other threads
    /// may still use it.
    void detach() noexcept;

  private:
    int fd_;
    RegionHeader *header_;
    std::string path_; ///< empty for an unnamed region
    bool detached_ = false;
};

/// Prepares the data of a region that is being made, before any other process sees it.
using RegionInit = std::function<bool(void *data)>;

/// Opens the region of this kind and name for the calling user, or, when create is set
/// and there is none (or only a stale one), makes it with size bytes of zeros passed
/// through init. existed tells which happened. In one process a name always gives the same
/// region. Null with the last error set on failure.
std::shared_ptr<SharedRegion> openSharedRegion(std::string_view kind, std::string_view name,
                                               uint64_t size, bool create, const RegionInit &init,
                                               bool &existed);

/// A region that no other process can find, for unnamed objects.
std::shared_ptr<SharedRegion> createPrivateRegion(uint64_t size, const RegionInit &init);

/// The file name under /dev/shm for a kind and name of the calling user, or empty when
/// the name is too long (at most 200 characters once bytes other than letters, digits,
/// '.', '_' and '-' are written as %XX).
std::string regionFileName(std::string_view kind, std::string_view name);

/// Largest region data size.
inline constexpr uint64_t kMaxRegionSize = uint64_t{1} << 30;

} // namespace trax::platform

#endif
