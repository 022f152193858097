// Finding and reading definition files. A file is read only if it is a regular file of
// the user or of root that no one else may change, and not larger than the cap, so that a
// planted, endless or huge file can neither take over a device nor hang or exhaust a
// process. On Windows, where the file's access list (not an owner id and mode bits) says who
// may change it, the checks are the file's kind and size.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>

#include "sim_definition.h"
#include "sim_folder_listing.h"
#include "sim_limits.h"
#include "sim_read_file.h"

namespace sim {

namespace {

#if defined(_WIN32)
constexpr int kOpenFlags = O_RDONLY | O_BINARY;
constexpr char kListSeparator = ';'; // ':' follows every drive letter
#else
constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
constexpr char kListSeparator = ':';
#endif

Definitions file_problem(const std::string &path, const std::string &message) {
    return {{}, {path + ":1:1: " + message}};
}

// Why the opened file may not be read, or an empty text if it may.
std::string refusal(const struct stat &info) {
    if (!S_ISREG(info.st_mode)) {
        return "not a regular file";
    }
#if !defined(_WIN32)
    if (info.st_uid != geteuid() && info.st_uid != 0) {
        return "owned by another user";
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "writable by other users";
    }
#endif
    if (static_cast<std::size_t>(info.st_size) > kMaxDefinitionFileBytes) {
        return "larger than " + std::to_string(kMaxDefinitionFileBytes) + " bytes";
    }
    return {};
}

bool has_yaml_suffix(const std::string &name) {
    constexpr std::string_view kSuffix = ".yaml";
    return name.size() > kSuffix.size() && std::string_view(name).ends_with(kSuffix);
}

// The first kMaxFilesPerFolder *.yaml files of a folder in name order. Only that many names
// are kept while the folder is read, whatever order it lists them in and however many it
// holds.
std::vector<std::string> folder_files(const std::string &folder) {
    std::set<std::string> kept;
    const FolderListing dir(opendir(folder.c_str()));
    if (dir == nullptr) {
        return {};
    }
    while (const dirent *entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name[0] == '.' || !has_yaml_suffix(name)) {
            continue;
        }
        kept.insert(folder + "/" + name);
        if (kept.size() > kMaxFilesPerFolder) {
            kept.erase(std::prev(kept.end()));
        }
    }
    return {kept.begin(), kept.end()};
}

bool is_folder(const std::string &path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string user_folder() {
#if defined(_WIN32)
    const char *appData = std::getenv("APPDATA");
    return appData != nullptr && appData[0] != '\0' ? std::string(appData) + "/trax/devices.d"
                                                    : std::string();
#else
    const char *config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return std::string(config) + "/trax/devices.d";
    }
    const char *home = std::getenv("HOME");
    return home != nullptr && home[0] != '\0' ? std::string(home) + "/.config/trax/devices.d"
                                              : std::string();
#endif
}

void add_listed(const std::string &entry, std::vector<std::string> &sources) {
    if (entry.empty()) {
        return;
    }
    if (is_folder(entry)) {
        const std::vector<std::string> files = folder_files(entry);
        sources.insert(sources.end(), files.begin(), files.end());
    } else {
        sources.push_back(entry);
    }
}

} // namespace

Definitions read_definition_file(const std::string &path) {
    const int fd = open(path.c_str(), kOpenFlags);
    if (fd < 0) {
        // Windows refuses to open a folder at all: it is named as what it is there too.
        const int error = errno;
        const std::string why = is_folder(path) ? "not a regular file" : std::strerror(error);
        return file_problem(path, "cannot read: " + why);
    }
    struct stat info {};
    std::string why = fstat(fd, &info) != 0 ? std::string(std::strerror(errno)) : refusal(info);
    std::string text;
    if (why.empty() && !read_at_most(fd, kMaxDefinitionFileBytes + 1,
                                     static_cast<std::size_t>(info.st_size), text)) {
        why = std::strerror(errno);
    }
    close(fd);
    if (why.empty() && text.size() > kMaxDefinitionFileBytes) {
        why = "larger than " + std::to_string(kMaxDefinitionFileBytes) + " bytes";
    }
    if (!why.empty()) {
        return file_problem(path, "cannot read: " + why);
    }
    return parse_definition_file(text, path);
}

std::vector<std::string> definition_sources(const std::string &systemFolder) {
    std::vector<std::string> sources = folder_files(systemFolder);
    const std::string user = user_folder();
    if (!user.empty()) {
        const std::vector<std::string> files = folder_files(user);
        sources.insert(sources.end(), files.begin(), files.end());
    }
    const char *listed = std::getenv("TRAX_DEVICES");
    std::string_view rest = listed != nullptr ? listed : "";
    while (!rest.empty()) {
        const std::size_t end = rest.find(kListSeparator);
        add_listed(std::string(rest.substr(0, end)), sources);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    return sources;
}

} // namespace sim
