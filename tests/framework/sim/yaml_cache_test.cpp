// The parse cache of definition files: a stored table reads back as the parsed one, a
// broken or foreign entry is never used, and the cache's folder stays private and bounded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "sim_definition.h"
#include "temp_folder.h"
#include "yaml_cache.h"

namespace {

namespace fs = std::filesystem;
using trax_test::SetProcessEnvironment;
using trax_test::TempFolder;

// Every node kind, a cycle through an alias, an empty scalar and a null mark's neighbour.
constexpr char kShapes[] = "devices: &l [*l, {name: a, v: ~, e: '', s: [1, 2]}]\nseed: 7\n";

std::vector<std::string> dumps(const sim::Definitions &read) {
    std::vector<std::string> out;
    for (const sim::DeviceSpec &spec : read.devices) {
        out.push_back(sim::dump_definition(spec));
    }
    return out;
}

using Breakage = std::function<void(sim::YamlTable &)>;

// Ways to break a sound table of a text of textSize bytes whose first node is a mapping,
// whose second has a mark and whose last is a scalar.
std::vector<std::pair<const char *, Breakage>> breakages(std::size_t textSize) {
    return {
        {"no node", [](auto &t) { t.nodes.clear(); }},
        {"unknown kind", [](auto &t) { t.nodes[0].kind = static_cast<sim::YamlKind>(4); }},
        {"child beyond the nodes",
         [](auto &t) { t.children.back() = static_cast<uint32_t>(t.nodes.size()); }},
        {"scalar beyond the texts",
         [](auto &t) { t.nodes.back().count = static_cast<uint32_t>(t.texts.size() + 1); }},
        {"range that wraps around",
         [](auto &t) {
             t.nodes.back().first = UINT32_MAX;
             t.nodes.back().count = 2;
         }},
        {"list beyond the children",
         [](auto &t) { t.nodes[0].count = static_cast<uint32_t>(t.children.size() + 2); }},
        {"mapping with half a pair", [](auto &t) { t.nodes[0].count -= 1; }},
        {"null with children",
         [](auto &t) {
             t.nodes.push_back({sim::YamlKind::Null, {}, 0, 1});
         }},
        {"mark beyond the text",
         [textSize](auto &t) { t.nodes[1].mark.pos = static_cast<int>(textSize) + 1; }},
        {"line beyond the position", [](auto &t) { t.nodes[1].mark.line = INT_MAX; }},
        {"negative column", [](auto &t) { t.nodes[1].mark.column = -2; }},
    };
}

TEST(YamlTable, StoredTableReadsBackAndBrokenOnesAreRefused) {
    const std::string text = kShapes;
    const sim::YamlTable table = sim::table_of(sim::YamlDocument(text));
    const std::string bytes = sim::encode_table(table);
    const auto back = sim::decode_table(bytes, text.size());
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(sim::encode_table(*back), bytes);

    for (const auto &[what, breakIt] : breakages(text.size())) {
        sim::YamlTable bad = table;
        breakIt(bad);
        EXPECT_FALSE(sim::decode_table(sim::encode_table(bad), text.size()).has_value()) << what;
    }
    EXPECT_FALSE(sim::decode_table(bytes, 10).has_value()) << "marks of a longer text";

    // Any cut, extension or changed byte is refused or read exactly as it stands: never a
    // read outside the bytes, never a count taken on trust.
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        EXPECT_FALSE(sim::decode_table(bytes.substr(0, size), text.size()).has_value()) << size;
    }
    EXPECT_FALSE(sim::decode_table(bytes + '\0', text.size()).has_value());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        for (const int value : {0x00, 0xff, bytes[i] ^ 0x01, bytes[i] ^ 0x80}) {
            std::string changed = bytes;
            changed[i] = static_cast<char>(value);
            if (const auto read = sim::decode_table(changed, text.size())) {
                EXPECT_EQ(sim::encode_table(*read), changed) << i;
            }
        }
    }
}

// Each test has a cache folder of its own, and the environment it found back afterwards.
class YamlCache : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char *name : {"XDG_CACHE_HOME", "TRAX_CACHE"}) {
            const char *value = std::getenv(name);
            saved_.emplace_back(name, value != nullptr ? std::optional<std::string>(value)
                                                       : std::nullopt);
        }
        SetProcessEnvironment("XDG_CACHE_HOME", (home_.path() + "/cache").c_str());
        SetProcessEnvironment("TRAX_CACHE", nullptr);
    }
    void TearDown() override {
        for (const auto &[name, value] : saved_) {
            SetProcessEnvironment(name.c_str(), value ? value->c_str() : nullptr);
        }
    }

    // Reads the file and checks that it yields what a parse of its text yields.
    void read_as_parsed(const std::string &file) {
        std::ifstream in(file);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        const sim::Definitions parsed = sim::parse_definitions(text, file);
        const sim::Definitions read = sim::read_definition_file(file);
        EXPECT_EQ(dumps(read), dumps(parsed)) << file;
        EXPECT_EQ(read.problems, parsed.problems) << file;
    }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().string());
        }
        return names;
    }

    TempFolder home_, files_;
    const std::string folder_ = home_.path() + "/cache/trax";
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(YamlCache, HitGivesTheSameDevicesAndProblemsAsAParse) {
    const std::string good =
        files_.write("good.yaml", "devices:\n  - {name: a, channels: {count: 4}}\n  - {name: b}\n");
    const std::string wrong = files_.write("wrong.yaml", "devices:\n  - {name: a, slot: x}\n");
    const std::string invalid = files_.write("invalid.yaml", "devices: [\n");
    const sim::YamlCacheCounts before = sim::yaml_cache_counts();
    for (int pass = 0; pass < 2; ++pass) {
        for (const std::string &file : {good, wrong, invalid}) {
            read_as_parsed(file);
        }
    }
    const sim::YamlCacheCounts after = sim::yaml_cache_counts();
    EXPECT_EQ(after.stores - before.stores, 2u) << "invalid YAML is not stored";
    EXPECT_EQ(after.hits - before.hits, 2u);
    struct stat info {};
    ASSERT_EQ(stat(folder_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    for (const std::string &entry : entries()) {
        ASSERT_EQ(stat(entry.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << entry;
    }
}

TEST_F(YamlCache, ChangedFileIsReadAgain) {
    const std::string file = files_.write("f.yaml", "devices: [{name: first}]\n");
    sim::read_definition_file(file);
    files_.write("f.yaml", "devices: [{name: second}]\n");
    const sim::YamlCacheCounts before = sim::yaml_cache_counts();
    const sim::Definitions read = sim::read_definition_file(file);
    ASSERT_EQ(read.devices.size(), 1u);
    EXPECT_EQ(read.devices[0].name, "second");
    EXPECT_EQ(sim::yaml_cache_counts().hits, before.hits);
    EXPECT_EQ(entries().size(), 1u) << "one entry per file";
}

// An entry or folder that is damaged, made elsewhere or not private is not used: the file
// is parsed and reads as it should. So is an entry that claims to be made from the text by
// this build but holds a broken table; the same entry with the table as parsed is used.
TEST_F(YamlCache, UnusableCacheIsIgnored) {
    const std::string text = "devices: [{name: dev_a, slot: 3}]\n";
    const std::string file = files_.write("f.yaml", text);
    const sim::YamlTable table = sim::table_of(sim::YamlDocument(text));
    std::string entry; // the file's entry
    const auto rewrite = [&](const std::function<void(std::string &)> &change) {
        std::ifstream in(entry, std::ios::binary);
        std::string bytes{std::istreambuf_iterator<char>(in), {}};
        in.close();
        change(bytes);
        std::ofstream(entry, std::ios::binary | std::ios::trunc) << bytes;
    };
    struct Case {
        std::string what;
        std::function<void()> spoil;
        uint64_t hits;
        uint64_t stores; ///< 1: the entry is written anew; 0: the folder is not used at all
    };
    std::vector<Case> cases = {
        {"made as stored",
         [&] { rewrite([&](auto &b) { b = sim::yaml_cache_entry(text, table); }); }, 1, 0},
        {"cut short", [&] { rewrite([](auto &b) { b.resize(b.size() / 2); }); }, 0, 1},
        {"last byte changed", [&] { rewrite([](auto &b) { b.back() ^= 1; }); }, 0, 1},
        {"another build's", [&] { rewrite([](auto &b) { b[16] ^= 1; }); }, 0, 1},
        {"readable by others", [&] { chmod(entry.c_str(), 0644); }, 0, 1},
        {"a link",
         [&] {
             fs::rename(entry, folder_ + "/copy");
             fs::create_symlink(folder_ + "/copy", entry);
         },
         0, 1},
        {"another user's", [&] { ASSERT_EQ(chown(entry.c_str(), 1, 1), 0); }, 0, 1},
        {"in a folder others may enter", [&] { chmod(folder_.c_str(), 0755); }, 0, 0},
        {"in a folder of another user", [&] { ASSERT_EQ(chown(folder_.c_str(), 1, 1), 0); }, 0, 0},
    };
    for (const auto &[what, breakIt] : breakages(text.size())) {
        cases.push_back({std::string("sealed, ") + what,
                         [&, breakIt = breakIt] {
                             sim::YamlTable bad = table;
                             breakIt(bad);
                             rewrite([&](auto &b) { b = sim::yaml_cache_entry(text, bad); });
                         },
                         0, 1});
    }
    for (const Case &c : cases) {
        if (c.what.find("another user") != std::string::npos && geteuid() != 0) {
            continue; // only root may give a file away
        }
        fs::remove_all(folder_);
        sim::read_definition_file(file);
        entry = entries().at(0);
        c.spoil();
        const sim::YamlCacheCounts before = sim::yaml_cache_counts();
        read_as_parsed(file);
        EXPECT_EQ(sim::yaml_cache_counts().hits, before.hits + c.hits) << c.what;
        EXPECT_EQ(sim::yaml_cache_counts().stores, before.stores + c.stores) << c.what;
    }
}

TEST_F(YamlCache, OffWritesNothing) {
    const std::string file = files_.write("f.yaml", "devices: [{name: dev_a}]\n");
    SetProcessEnvironment("TRAX_CACHE", "0");
    read_as_parsed(file);
    read_as_parsed(file);
    EXPECT_FALSE(fs::exists(home_.path() + "/cache"));
}

// The folder keeps the newest entries up to its cap, and loses the temporary files of
// writers that crashed, but not those of writers at work.
TEST_F(YamlCache, FolderStaysBounded) {
    const std::string first = files_.write("first.yaml", "devices: []\n");
    sim::read_definition_file(first);
    const std::string stale = folder_ + "/x.yamltable.1.tmp",
                      fresh = folder_ + "/y.yamltable.2.tmp";
    std::ofstream(stale) << "x";
    std::ofstream(fresh) << "y";
    const timespec old[2] = {{1, 0}, {1, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, stale.c_str(), old, 0), 0);
    for (std::size_t i = 0; i < sim::kMaxCacheEntries; ++i) {
        sim::read_definition_file(files_.write(std::to_string(i) + ".yaml", "devices: []\n"));
    }
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(fresh));
    EXPECT_EQ(entries().size(), sim::kMaxCacheEntries + 1) << "entries and the fresh temp file";
    const sim::YamlCacheCounts before = sim::yaml_cache_counts();
    sim::read_definition_file(files_.path() + "/" + std::to_string(sim::kMaxCacheEntries - 1) +
                              ".yaml");
    EXPECT_EQ(sim::yaml_cache_counts().hits, before.hits + 1) << "the newest entry is kept";
    sim::read_definition_file(first);
    EXPECT_EQ(sim::yaml_cache_counts().hits, before.hits + 1) << "the oldest entry is gone";
}

} // namespace
