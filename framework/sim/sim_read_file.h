// Reading an opened file whole, up to a cap, for the definition files and the parse cache.
#ifndef TRAX_SIM_READ_FILE_H
#define TRAX_SIM_READ_FILE_H

#include <cstddef>
#include <string>

namespace sim {

/// Reads fd from its position to its end into bytes, but never more than limit bytes (a
/// caller that passes its cap plus one tells a file over the cap, also one that grew after
/// it was measured). expected, the size the file had when it was measured, is what is
/// allocated first. False, with errno set, on a read error.
bool read_at_most(int fd, std::size_t limit, std::size_t expected, std::string &bytes);

} // namespace sim

#endif
