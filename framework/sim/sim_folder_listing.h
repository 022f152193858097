// A folder being listed (opendir), closed when it goes, also when an allocation fails while
// its names are read.
#ifndef TRAX_SIM_FOLDER_LISTING_H
#define TRAX_SIM_FOLDER_LISTING_H

#include <dirent.h>

#include <memory>

namespace sim {

struct CloseFolder {
    void operator()(DIR *dir) const { closedir(dir); }
};

using FolderListing = std::unique_ptr<DIR, CloseFolder>;

} // namespace sim

#endif
