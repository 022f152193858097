// A cache of parsed definition files, so that a file whose text has not changed since an
// earlier process read it is not parsed again. Each definition file has one entry, a file
// of the cache folder that holds the document's node table together with what it was made
// from: a hash of the text, the format and the build of the library. An entry is untrusted
// input like the definition file itself: anything in it that does not match or does not
// hold together makes it a miss, and the text is parsed as if there were no cache.
#ifndef TRAX_SIM_YAML_CACHE_H
#define TRAX_SIM_YAML_CACHE_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "yaml_document.h"

namespace sim {

/// A YamlDocument's node table as plain data: what an entry stores of a parsed text.
struct YamlTable {
    std::vector<YamlEntry> nodes;
    std::vector<uint32_t> children;
    std::string texts;
};

/// A copy of the table of a document.
YamlTable table_of(const YamlDocument &document);

/// The document of a table, which must be sound (see decode_table).
YamlDocument document_of(YamlTable &&table);

/// The bytes that store a table.
std::string encode_table(const YamlTable &table);

/// The table stored in bytes, if they hold exactly one sound table of a text of textSize
/// bytes: at least one node, every kind known, every child index naming a node, every
/// range inside the children or the scalar texts, a mapping with pairs only, and every mark
/// inside the text. Anything else gives no table.
std::optional<YamlTable> decode_table(std::string_view bytes, std::size_t textSize);

/// The cache entry that stores table as the one made from text by this build; empty when
/// the build cannot be told apart from others (then nothing is cached).
std::string yaml_cache_entry(std::string_view text, const YamlTable &table);

/// The YAML document of the text of the definition file at path: the table of the path's
/// entry when it was made from the same text by the same build, otherwise the text parsed
/// (throwing YamlError on invalid YAML as YamlDocument does) and, when the
/// parse succeeds, stored as the path's entry for later processes. Without a usable cache
/// folder, or with TRAX_CACHE=0, the text is just parsed.
YamlDocument cached_yaml_document(std::string_view text, const std::string &path);

/// How often this process took a document from the cache and stored one.
struct YamlCacheCounts {
    uint64_t hits;
    uint64_t stores;
};
YamlCacheCounts yaml_cache_counts();

/// The cache folder this process would use: $XDG_CACHE_HOME/trax, or ~/.cache/trax when
/// XDG_CACHE_HOME is unset or not absolute; empty when the cache is off.
std::string yaml_cache_folder();

constexpr std::size_t kMaxCacheEntries = 256;
constexpr uint64_t kMaxCacheBytes = 128ull << 20;
constexpr uint64_t kMaxCacheEntryBytes = 32ull << 20;

} // namespace sim

#endif
