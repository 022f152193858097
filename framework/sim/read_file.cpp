// Reading an opened file whole, up to a cap.
#include "sim_read_file.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#if defined(_WIN32)
#include <io.h>
#endif

namespace sim {

namespace {

// One read's byte count fits every platform's read (unsigned int on Windows).
constexpr std::size_t kMaxReadBytes = 1u << 30;

} // namespace

bool read_at_most(int fd, std::size_t limit, std::size_t expected, std::string &bytes) {
    // One byte more than expected, so that the end is found without growing.
    bytes.resize(std::min(limit, expected + 1));
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled == limit) {
                break;
            }
            bytes.resize(std::min(limit, std::max<std::size_t>(2 * filled, 4096)));
        }
        const auto room = static_cast<unsigned>(std::min(bytes.size() - filled, kMaxReadBytes));
        const auto got = read(fd, bytes.data() + filled, room);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

} // namespace sim
