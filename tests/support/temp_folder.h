// A folder of a test's own under the system's temporary folder, and setting this process's
// environment, the same way on Linux and Windows.
#ifndef TRAX_TEST_TEMP_FOLDER_H
#define TRAX_TEST_TEMP_FOLDER_H

#include <filesystem>
#include <string>

namespace trax_test {

/// Made private to its owner, removed with everything in it when the object goes.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;
    const std::string &path() const { return path_; }

    /// Writes a file of the folder (folders on its way made) that only its owner may change,
    /// unless permissions say otherwise; returns its path (folder + "/" + name).
    std::string
    write(const std::string &name, const std::string &text,
          std::filesystem::perms permissions = std::filesystem::perms::owner_read |
                                               std::filesystem::perms::owner_write) const;

  private:
    std::string path_;
};

/// Sets an environment variable of this process, or removes it when value is null.
void SetProcessEnvironment(const char *name, const char *value);

} // namespace trax_test

#endif
