// Temporary folders and environment variables of the tests.
#include "temp_folder.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

namespace trax_test {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<unsigned> made{0};
    const std::string stem = "trax_test_" + std::to_string(getpid()) + "_";
    std::error_code error;
    while (path_.empty() && !error) {
        const fs::path candidate = fs::temp_directory_path() / (stem + std::to_string(made++));
        if (fs::create_directory(candidate, error)) {
            path_ = candidate.generic_string();
        }
    }
    if (error) {
        throw fs::filesystem_error("no temporary folder", error);
    }
    fs::permissions(path_, fs::perms::owner_all);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string TempFolder::write(const std::string &name, const std::string &text,
                              fs::perms permissions) const {
    const std::string file = path_ + "/" + name;
    fs::create_directories(fs::path(file).parent_path());
    std::ofstream(file, std::ios::binary) << text;
    fs::permissions(file, permissions);
    return file;
}

void SetProcessEnvironment(const char *name, const char *value) {
#if defined(_WIN32)
    _putenv_s(name, value != nullptr ? value : ""); // an empty value removes the variable
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

} // namespace trax_test
