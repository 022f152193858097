// The parse cache's entries and folder. An entry is a header (what the table was made from:
// format, build, size and hash of the text, hash of the table's bytes) and the table's
// bytes. The folder is private to the user: made 0700, and used only if it is a folder of
// the user that no one else may enter, opened without following a link; its entries are
// read only if they are regular files of the user with no access for others, and written
// to a temporary file of their own that is renamed into place, so that a process reading at
// the same time sees a whole entry or none. The Windows build has no cache: it parses.
#include "yaml_cache.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#if !defined(_WIN32)
#include <dirent.h>
#include <link.h>

#include <algorithm>
#include <ctime>

#include "sim_folder_listing.h"
#include "sim_read_file.h"
#endif

namespace sim {

namespace {

std::atomic<uint64_t> hitCount{0};
std::atomic<uint64_t> storeCount{0};

#if !defined(_WIN32)

constexpr char kMagic[8] = {'T', 'R', 'A', 'X', 'Y', 'T', 'B', 'L'};
constexpr uint32_t kFormatVersion = 1;

uint64_t mix(uint64_t h) {
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdull;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ull;
    return h ^ (h >> 33);
}

// A fast hash of bytes, eight at a time: it tells a changed text or a damaged entry from
// the one that was stored, not an attacker's (who could write the user's files anyway).
uint64_t content_hash(std::string_view bytes) {
    uint64_t h = 0x9e3779b97f4a7c15ull ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = std::rotl(h ^ (word * 0x87c37b91114253d5ull), 31) * 0x4cf5ad432745937full;
    }
    uint64_t tail = 0;
    if (i < bytes.size()) {
        std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    }
    return mix(h ^ (tail * 0x87c37b91114253d5ull));
}

template <class T> void put(std::string &out, T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    out.append(bytes, sizeof(T));
}

// Takes a value from the front of bytes; false if they are too short.
template <class T> bool take(std::string_view &bytes, T &value) {
    if (bytes.size() < sizeof(T)) {
        return false;
    }
    std::memcpy(&value, bytes.data(), sizeof(T));
    bytes.remove_prefix(sizeof(T));
    return true;
}

bool take_exactly(std::string_view &bytes, std::string_view expected) {
    if (bytes.substr(0, expected.size()) != expected) {
        return false;
    }
    bytes.remove_prefix(expected.size());
    return true;
}

// What an entry was made from: the format, the build and the text.
std::string origin(std::string_view build, std::string_view text) {
    std::string out(kMagic, sizeof(kMagic));
    put(out, kFormatVersion);
    put(out, static_cast<uint32_t>(build.size()));
    out += build;
    put(out, static_cast<uint64_t>(text.size()));
    put(out, content_hash(text));
    return out;
}

std::string seal(std::string_view build, std::string_view text, const std::string &table) {
    std::string entry = origin(build, text);
    put(entry, content_hash(table));
    return entry + table;
}

// The table's bytes of an entry, if the entry was made by this build from this text and
// its bytes are the ones that were stored.
std::optional<std::string_view> unseal(std::string_view entry, std::string_view build,
                                       std::string_view text) {
    if (!take_exactly(entry, origin(build, text))) {
        return std::nullopt;
    }
    uint64_t tableHash = 0;
    if (!take(entry, tableHash) || tableHash != content_hash(entry)) {
        return std::nullopt;
    }
    return entry;
}

// The build of the library is told by the build id that the linker writes into the
// program or shared library holding this code: a hash of its contents, new for each build.
struct BuildIdSearch {
    uintptr_t address;
    std::string id;
};

bool holds(const dl_phdr_info &object, uintptr_t address) {
    for (int i = 0; i < object.dlpi_phnum; ++i) {
        const ElfW(Phdr) &segment = object.dlpi_phdr[i];
        const uintptr_t start = object.dlpi_addr + segment.p_vaddr;
        if (segment.p_type == PT_LOAD && address >= start && address - start < segment.p_memsz) {
            return true;
        }
    }
    return false;
}

std::size_t padded(std::size_t size, std::size_t alignment) {
    return (size + alignment - 1) / alignment * alignment;
}

std::string note_build_id(const char *at, const char *end, std::size_t alignment) {
    ElfW(Nhdr) note;
    while (static_cast<std::size_t>(end - at) >= sizeof(note)) {
        std::memcpy(&note, at, sizeof(note));
        const char *name = at + sizeof(note);
        const char *desc = name + padded(note.n_namesz, alignment);
        if (padded(note.n_namesz, alignment) + padded(note.n_descsz, alignment) >
            static_cast<std::size_t>(end - name)) {
            break;
        }
        if (note.n_type == NT_GNU_BUILD_ID && note.n_namesz == 4 &&
            std::memcmp(name, "GNU", 4) == 0) {
            return std::string(desc, note.n_descsz);
        }
        at = desc + padded(note.n_descsz, alignment);
    }
    return {};
}

int find_build_id(dl_phdr_info *object, std::size_t, void *data) {
    auto &search = *static_cast<BuildIdSearch *>(data);
    if (!holds(*object, search.address)) {
        return 0;
    }
    for (int i = 0; i < object->dlpi_phnum && search.id.empty(); ++i) {
        const ElfW(Phdr) &segment = object->dlpi_phdr[i];
        if (segment.p_type == PT_NOTE) {
            const char *at = reinterpret_cast<const char *>(object->dlpi_addr + segment.p_vaddr);
            search.id = note_build_id(at, at + segment.p_memsz, segment.p_align == 8 ? 8 : 4);
        }
    }
    return 1;
}

std::string find_build() {
    BuildIdSearch search{reinterpret_cast<uintptr_t>(&find_build), {}};
    dl_iterate_phdr(find_build_id, &search);
    return search.id;
}

/// Without a build id the cache cannot tell builds apart, and is not used.
const std::string &this_build() {
    static const std::string build = find_build();
    return build;
}

/// A file descriptor, closed when it goes.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

bool private_to_user(const struct stat &info) {
    return info.st_uid == geteuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

std::string parent_of(const std::string &path) {
    return path.substr(0, path.rfind('/'));
}

// The cache folder, made if missing (with its parent, the user's cache folder), or -1 if
// the cache is off or the folder is not the user's own.
int open_folder() {
    const std::string path = yaml_cache_folder();
    if (path.empty() || this_build().empty()) {
        return -1;
    }
    constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    int fd = open(path.c_str(), kFlags);
    if (fd < 0 && errno == ENOENT) {
        mkdir(parent_of(path).c_str(), 0700);
        mkdir(path.c_str(), 0700);
        fd = open(path.c_str(), kFlags);
    }
    struct stat info {};
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode) || !private_to_user(info))) {
        close(fd);
        return -1;
    }
    return fd;
}

constexpr std::string_view kEntrySuffix = ".yamltable";
constexpr std::string_view kTempSuffix = ".tmp";

bool ends_with(std::string_view name, std::string_view suffix) {
    return name.size() > suffix.size() && name.ends_with(suffix);
}

// One entry per definition file, named after a hash of its path.
std::string entry_name(const std::string &path) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string name;
    for (uint64_t hash = content_hash(path), i = 0; i < 16; ++i, hash >>= 4) {
        name += kDigits[hash & 15];
    }
    return name + std::string(kEntrySuffix);
}

std::optional<std::string> read_entry(int folder, const std::string &name) {
    const Descriptor fd(
        openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (fd.get() < 0 || fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        !private_to_user(info) || static_cast<uint64_t>(info.st_size) > kMaxCacheEntryBytes) {
        return std::nullopt;
    }
    std::string bytes;
    if (!read_at_most(fd.get(), kMaxCacheEntryBytes + 1, static_cast<std::size_t>(info.st_size),
                      bytes) ||
        bytes.size() > kMaxCacheEntryBytes) {
        return std::nullopt;
    }
    return bytes;
}

bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t wrote = write(fd, bytes.data(), bytes.size());
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
    }
    return true;
}

// Writes the entry under a name of its own (process id and a count of the process's writes)
// and renames it into place. Should that name be taken (a leftover of a crashed process of
// the same id), the entry is not written this time.
void write_entry(int folder, const std::string &name, std::string_view bytes) {
    static std::atomic<uint64_t> writes{0};
    const std::string temp = name + "." + std::to_string(getpid()) + "." +
                             std::to_string(writes++) + std::string(kTempSuffix);
    const int fd =
        openat(folder, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return;
    }
    const bool written = write_all(fd, bytes);
    if (close(fd) == 0 && written && renameat(folder, temp.c_str(), folder, name.c_str()) == 0) {
        ++storeCount;
        return;
    }
    unlinkat(folder, temp.c_str(), 0);
}

struct Stored {
    std::string name;
    timespec changed;
    uint64_t size;
};

bool newer(const Stored &a, const Stored &b) {
    if (a.changed.tv_sec != b.changed.tv_sec) {
        return a.changed.tv_sec > b.changed.tv_sec;
    }
    return a.changed.tv_nsec != b.changed.tv_nsec ? a.changed.tv_nsec > b.changed.tv_nsec
                                                  : a.name < b.name;
}

// A temporary file this old is a crashed process's: no write takes a minute.
constexpr time_t kStaleTempSeconds = 60;

// The entries of the folder, and the crashed processes' temporary files removed.
std::vector<Stored> entries_of(int folder) {
    std::vector<Stored> entries;
    const int listing = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const FolderListing dir(listing >= 0 ? fdopendir(listing) : nullptr);
    if (dir == nullptr) {
        if (listing >= 0) {
            close(listing);
        }
        return entries;
    }
    const time_t now = time(nullptr);
    while (const dirent *item = readdir(dir.get())) {
        const std::string name = item->d_name;
        struct stat info {};
        if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;
        }
        if (ends_with(name, kEntrySuffix)) {
            entries.push_back({name, info.st_mtim, static_cast<uint64_t>(info.st_size)});
        } else if (ends_with(name, kTempSuffix) && now - info.st_mtime > kStaleTempSeconds) {
            unlinkat(folder, name.c_str(), 0);
        }
    }
    return entries;
}

// Keeps the entry just written and the newest others, at most kMaxCacheEntries and
// kMaxCacheBytes of them all, and removes the older ones.
void prune(int folder, const std::string &written) {
    std::vector<Stored> entries = entries_of(folder);
    std::sort(entries.begin(), entries.end(), [&](const Stored &a, const Stored &b) {
        return a.name == written ? b.name != written : b.name != written && newer(a, b);
    });
    uint64_t kept = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        kept += entries[i].size;
        if (i > 0 && (i >= kMaxCacheEntries || kept > kMaxCacheBytes)) {
            unlinkat(folder, entries[i].name.c_str(), 0);
        }
    }
}

std::optional<YamlDocument> load(int folder, const std::string &name, std::string_view text) {
    const std::optional<std::string> entry = read_entry(folder, name);
    if (!entry) {
        return std::nullopt;
    }
    const std::optional<std::string_view> bytes = unseal(*entry, this_build(), text);
    std::optional<YamlTable> table = bytes ? decode_table(*bytes, text.size()) : std::nullopt;
    if (!table) {
        return std::nullopt;
    }
    return document_of(std::move(*table));
}

void store(int folder, const std::string &name, std::string_view text,
           const YamlDocument &document) {
    const std::string entry = yaml_cache_entry(text, table_of(document));
    if (!entry.empty() && entry.size() <= kMaxCacheEntryBytes) {
        write_entry(folder, name, entry);
        prune(folder, name);
    }
}

#endif

} // namespace

YamlCacheCounts yaml_cache_counts() {
    return {hitCount.load(), storeCount.load()};
}

std::string yaml_cache_folder() {
#if defined(_WIN32)
    return {};
#else
    const char *off = std::getenv("TRAX_CACHE");
    if (off != nullptr && std::strcmp(off, "0") == 0) {
        return {};
    }
    const char *cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') {
        return std::string(cache) + "/trax";
    }
    const char *home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? std::string(home) + "/.cache/trax" : std::string();
#endif
}

std::string yaml_cache_entry(std::string_view text, const YamlTable &table) {
#if defined(_WIN32)
    (void)text;
    (void)table;
    return {};
#else
    return this_build().empty() ? std::string() : seal(this_build(), text, encode_table(table));
#endif
}

YamlDocument cached_yaml_document(std::string_view text, const std::string &path) {
#if defined(_WIN32)
    (void)path;
    return YamlDocument(text);
#else
    const Descriptor folder(open_folder());
    if (folder.get() < 0) {
        return YamlDocument(text);
    }
    const std::string name = entry_name(path);
    if (std::optional<YamlDocument> cached = load(folder.get(), name, text)) {
        ++hitCount;
        return std::move(*cached);
    }
    YamlDocument document(text);
    store(folder.get(), name, text, document);
    return document;
#endif
}

} // namespace sim
