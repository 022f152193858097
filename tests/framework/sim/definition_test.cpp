// Device definition files: what a file yields, how bad files are refused, where files come
// from, and the built-in definitions.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "child_process.h"
#include "sim_catalogue.h"
#include "sim_definition.h"
#include "sim_limits.h"
#include "temp_folder.h"
#include "trax_api.h"
#include "trax_errors.h"

namespace {

using trax_test::SetProcessEnvironment;
using trax_test::TempFolder;

#if defined(_WIN32)
constexpr char kUserFolderVariable[] = "APPDATA";
constexpr char kListSeparator[] = ";";
#else
constexpr char kUserFolderVariable[] = "XDG_CONFIG_HOME";
constexpr char kListSeparator[] = ":";
#endif

std::string Repeat(const std::string &text, int times) {
    std::string all;
    for (int i = 0; i < times; ++i) {
        all += text;
    }
    return all;
}

std::string device_file(const std::string &deviceLines) {
    return "devices:\n  - name: dev_a\n" + deviceLines;
}

TEST(Definitions, BuiltInDevicesWriteOutAndReadBackUnchanged) {
    std::vector<uint64_t> hashes;
    for (const sim::DeviceSpec &spec : sim::builtin_devices()) {
        const std::string dumped = sim::dump_definition(spec);
        const sim::Definitions again = sim::parse_definitions(dumped, "dump.yaml");
        ASSERT_EQ(again.devices.size(), 1u) << dumped;
        EXPECT_EQ(sim::dump_definition(again.devices[0]), dumped);
        EXPECT_EQ(sim::definition_hash(again.devices[0]), sim::definition_hash(spec));
        hashes.push_back(sim::definition_hash(spec));
    }
    ASSERT_EQ(hashes.size(), 4u);
    std::sort(hashes.begin(), hashes.end());
    EXPECT_EQ(std::unique(hashes.begin(), hashes.end()), hashes.end());
}

// Texts that a literal block would change (an indented first line, empty last lines, no
// text at all) are written quoted instead; whole plain lines stay a literal block.
TEST(Definitions, TextsOfAnyShapeWriteOutAndReadBackUnchanged) {
    const std::string texts[] = {"two\nlines\n",   " indented\n", "\n  after an empty line\n",
                                 "empty last\n\n", "\n",          "  \n",
                                 "no break"};
    for (const std::string &text : texts) {
        sim::DeviceSpec spec;
        spec.name = "texts";
        spec.revision = text;
        const std::string dumped = sim::dump_definition(spec);
        const sim::Definitions again = sim::parse_definitions(dumped, "dump.yaml");
        ASSERT_EQ(again.devices.size(), 1u) << dumped;
        EXPECT_EQ(again.devices[0].revision, text) << dumped;
    }
    EXPECT_NE(sim::dump_definition(sim::builtin_devices().at(0)).find("revision: |\n"),
              std::string::npos);
}

// A name that would read back as something else unquoted (a null word, an indicator at its
// start, ": " or " #" inside, a blank at an end) is written quoted; any other name plain.
TEST(Definitions, NamesAreQuotedExactlyWhenPlainWouldNotReadBack) {
    const std::pair<std::string, std::string> cases[] = {
        {"dev_1", "dev_1"},   {"a:b", "a:b"},     {"a#b", "a#b"},       {"-a", "-a"},
        {"a\"b", "a\"b"},     {"true", "true"},   {"a: b", "\"a: b\""}, {"a:", "\"a:\""},
        {"a #b", "\"a #b\""}, {"- a", "\"- a\""}, {"null", "\"null\""}, {"~", "\"~\""},
        {"[a", "\"[a\""},     {" a", "\" a\""},   {"a ", "\"a \""},     {"\"a\\", "\"\\\"a\\\\\""}};
    for (const auto &[name, written] : cases) {
        sim::DeviceSpec spec;
        spec.name = name;
        const std::string dumped = sim::dump_definition(spec);
        EXPECT_NE(dumped.find("\n  - name: " + written + "\n"), std::string::npos) << dumped;
        const sim::Definitions again = sim::parse_definitions(dumped, "dump.yaml");
        ASSERT_EQ(again.devices.size(), 1u) << dumped;
        EXPECT_EQ(again.devices[0].name, name);
    }
}

TEST(Definitions, MinimalDeviceWorksAndKeysReachTheDescription) {
    const sim::Definitions read = sim::parse_definitions(
        "seed: 9\ndevices:\n  - {name: def_min_1, model: mt_test}\n"
        "  - name: def_full_1\n    bus: vme\n    channels: {count: 3, bits: 8, type: counter}\n"
        "    device_id_prom: {words: [0x1234, 0xabcd]}\n    revision: |\n      one\n      two\n",
        "t.yaml");
    ASSERT_TRUE(read.problems.empty()) << read.problems[0];
    ASSERT_EQ(read.devices.size(), 2u);
    const sim::DeviceSpec &full = read.devices[1];
    EXPECT_EQ(full.busType, 1);
    EXPECT_EQ(full.channels.number, 3);
    EXPECT_EQ(full.channels.type, 4);
    EXPECT_EQ(full.deviceIdProm.words, (std::vector<uint16_t>{0x1234, 0xabcd}));
    EXPECT_EQ(full.revision, "one\ntwo\n");
    EXPECT_EQ(full.seed, 9u);

    ASSERT_EQ(sim::Catalogue::add(read.devices[0]), 0u);
    const int32_t path = M_open("def_min_1");
    ASSERT_GT(path, 0);
    int32_t value = 0;
    EXPECT_EQ(M_write(path, 77), 0);
    EXPECT_EQ(M_read(path, &value), 0);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(M_close(path), 0);
}

struct BadFile {
    const char *what;
    std::string text;
    std::string problem; // the expected line after "t.yaml:"
};

TEST(Definitions, EachKindOfBadFileIsRefusedWholeWithItsPlace) {
    const BadFile cases[] = {
        {"not YAML", "devices: [\n  {name: a\n", "3:1: end of map flow not found"},
        {"too deep", "devices: " + Repeat("{a: ", 2500) + "1" + Repeat("}", 2500) + "\n",
         "1:2001: lists and mappings nested too deep"},
        {"no devices", "seed: 1\n", "1:1: the key 'devices' is missing"},
        {"unknown key", device_file("    modle: mt_test\n"), "3:5: unknown key 'modle'"},
        {"wrong type", device_file("    channels: 5\n"),
         "3:15: channels must be a mapping of keys to values"},
        {"wrong value", device_file("    model: relay\n"),
         "3:12: model: 'relay' is not one of binary_io, analog_in, mt_test"},
        {"out of range", device_file("    channels: {count: 300}\n"),
         "3:23: count: 300 is out of range 1..256"},
        {"long name", "devices:\n  - name: " + std::string(40, 'n') + "\n",
         "2:11: name is 40 characters long, more than 39"},
        {"not ASCII", device_file("    hardware: \"caf\\xe9\"\n"),
         "3:15: hardware may hold printable ASCII characters only"},
        {"id-prom word", device_file("    device_id_prom: {words: [0x10000]}\n"),
         "3:30: word: 0x10000 is out of range 0..65535"},
        {"id-prom size", device_file("    board_id_prom: {size: 2048}\n"),
         "3:27: size: 2048 is out of range 0..1024"},
        {"duplicate", "devices:\n  - name: a\n  - name: b\n  - name: a\n",
         "4:11: device 'a' is already defined on line 2"},
        {"not a device code", device_file("    status_codes: [{code: 0x1301, value: 1}]\n"),
         "3:27: code: 0x1301 is not a device-specific code (0x12xx or 0x22xx)"},
        {"model's code", device_file("    model: mt_test\n    status_codes: [{code: 0x1230}]\n"),
         "4:27: status code 0x1230 belongs to the driver model"},
        {"rule without action", device_file("    faults: [{call: read, nth: 2}]\n"),
         "3:14: the fault rule needs an 'error', a 'delay_ms' or both"},
        {"unknown error", device_file("    faults: [{call: open, error: ERR_NOPE}]\n"),
         "3:34: error: 'ERR_NOPE' is neither a symbol of the error table nor a number "
         "1..0xffffffff"},
        {"two whens", device_file("    faults: [{call: open, delay_ms: 1, nth: 1, every: 2}]\n"),
         "3:55: a fault rule takes at most one of nth, every, from and probability"},
        {"channel on open", device_file("    faults: [{call: open, channel: 1, delay_ms: 1}]\n"),
         "3:36: channel is only for rules on read and write"},
    };
    for (const BadFile &bad : cases) {
        // Most cases hold a good device (dev_a or a) besides the problem: it is refused too.
        const sim::Definitions read = sim::parse_definitions(bad.text, "t.yaml");
        EXPECT_TRUE(read.devices.empty()) << bad.what;
        ASSERT_FALSE(read.problems.empty()) << bad.what;
        EXPECT_EQ(read.problems[0], "t.yaml:" + bad.problem) << bad.what;
    }
}

// YAML features the reader takes as a node tree would hold them: an alias is the anchored
// node itself (with its place), a repeated key keeps its first value, only the first
// document counts.
TEST(Definitions, AliasesRepeatedKeysAndLaterDocumentsReadAsOneTree) {
    struct Shape {
        const char *what;
        std::string text;
        std::vector<std::string> names;
        std::vector<std::string> problems;
    };
    const Shape cases[] = {
        {"shared part",
         "devices:\n  - {name: a, irq: &q {level: 2}}\n  - {name: b, irq: *q}\n",
         {"a", "b"},
         {}},
        {"aliased device",
         "devices:\n  - &d {name: a}\n  - *d\n",
         {},
         {"t.yaml:2:15: device 'a' is already defined on line 2"}},
        {"list holding itself",
         "devices: &l [*l]\n",
         {},
         {"t.yaml:1:10: a device must be a mapping of keys to values"}},
        {"repeated key", "devices:\n  - {name: a, name: b}\n", {"a"}, {}},
        {"second document", "devices: [{name: a}]\n---\nbad: [\n", {"a"}, {}},
        {"empty text",
         "",
         {},
         {"t.yaml:1:1: a definition file must be a mapping with the key 'devices'"}},
        {"null value", "devices:\n  - name: ~\n", {}, {"t.yaml:2:11: name must be a single value"}},
        {"list as key",
         "devices:\n  - {[x]: 1, name: a}\n",
         {},
         {"t.yaml:2:6: key must be a name"}},
    };
    for (const Shape &shape : cases) {
        const sim::Definitions read = sim::parse_definitions(shape.text, "t.yaml");
        std::vector<std::string> names;
        for (const sim::DeviceSpec &spec : read.devices) {
            names.push_back(spec.name);
        }
        EXPECT_EQ(names, shape.names) << shape.what;
        EXPECT_EQ(read.problems, shape.problems) << shape.what;
    }
    EXPECT_EQ(sim::parse_definitions(cases[0].text, "t.yaml").devices.at(1).irq.level, 2);
}

TEST(Definitions, CountsAndSizesAreCapped) {
    std::string rules = "devices:\n  - name: a\n    faults:\n";
    for (std::size_t i = 0; i <= sim::kMaxFaultRules; ++i) {
        rules += "      - {call: open, delay_ms: 1}\n";
    }
    EXPECT_EQ(sim::parse_definitions(rules, "t.yaml").problems,
              std::vector<std::string>{"t.yaml:4:7: faults has 33 entries, more than 32"});

    TempFolder folder;
    const std::string big =
        folder.write("big.yaml", std::string(sim::kMaxDefinitionFileBytes + 1, '#'));
    EXPECT_EQ(sim::read_definition_file(big).problems,
              std::vector<std::string>{big + ":1:1: cannot read: larger than 1048576 bytes"});
    EXPECT_EQ(sim::read_definition_file(folder.path()).problems,
              std::vector<std::string>{folder.path() + ":1:1: cannot read: not a regular file"});
#if !defined(_WIN32) // mode bits and FIFOs are POSIX's
    const std::string shared =
        folder.write("shared.yaml", "devices: []\n", std::filesystem::perms(0666));
    EXPECT_EQ(sim::read_definition_file(shared).problems,
              std::vector<std::string>{shared + ":1:1: cannot read: writable by other users"});
    const std::string fifo = folder.path() + "/fifo.yaml";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(sim::read_definition_file(fifo).problems,
              std::vector<std::string>{fifo + ":1:1: cannot read: not a regular file"});
#endif
    EXPECT_EQ(sim::read_definition_file(folder.path() + "/none.yaml").problems,
              std::vector<std::string>{folder.path() +
                                       "/none.yaml:1:1: cannot read: No such file or directory"});
}

TEST(DefinitionSources, SystemThenUserThenListedInOrder) {
    TempFolder system, user, listed;
    const std::string s2 = system.write("b.yaml", ""), s1 = system.write("a.yaml", "");
    system.write("notes.txt", "");
    const std::string u1 = user.write("trax/devices.d/u.yaml", "");
    const std::string l1 = listed.write("x.yaml", ""), l2 = listed.write("single.yml", "");
    const std::string sep = kListSeparator;
    SetProcessEnvironment(kUserFolderVariable, user.path().c_str());
    SetProcessEnvironment("TRAX_DEVICES",
                          (listed.path() + sep + sep + l2 + sep + "/nonexistent.yaml").c_str());
    EXPECT_EQ(sim::definition_sources(system.path()),
              (std::vector<std::string>{s1, s2, u1, l1, l2, "/nonexistent.yaml"}));
    SetProcessEnvironment("TRAX_DEVICES", nullptr);
    SetProcessEnvironment(kUserFolderVariable, nullptr);
}

// A folder with more files than the cap gives the first ones in name order, not the first
// ones it happens to list.
TEST(DefinitionSources, FolderGivesItsFirstFilesInNameOrder) {
    TempFolder system;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i <= sim::kMaxFilesPerFolder; ++i) {
        const std::string file = system.write("f" + std::to_string(1000 + i) + ".yaml", "");
        if (i < sim::kMaxFilesPerFolder) {
            expected.push_back(file);
        }
    }
    SetProcessEnvironment(kUserFolderVariable, (system.path() + "/none").c_str());
    EXPECT_EQ(sim::definition_sources(system.path()), expected);
    SetProcessEnvironment(kUserFolderVariable, nullptr);
}

// A file with a problem is named on standard error; the devices of the other files, later
// ones replacing earlier ones of the same name, and the built-in devices stay available.
TEST(DefinitionSources, BadFileLeavesTheOthersUsable) {
    TempFolder folder;
    const std::string good =
        folder.write("good.yaml", "devices:\n  - {name: file_dev_1, purpose: first}\n"
                                  "  - {name: sim_mt_1, model: mt_test, purpose: replaced}\n");
    const std::string later =
        folder.write("later.yaml", "devices: [{name: file_dev_1, purpose: second}]\n");
    const std::string bad = folder.write("bad.yaml", "devices: [{name: file_dev_2, slot: x}]\n");
    trax_test::ChildProcess catalogue(
        trax_test::BinPath("trax_catalogue"), {},
        {"TRAX_DEVICES=" + good + kListSeparator + bad + kListSeparator + later}, true);
    ASSERT_TRUE(catalogue.started());
    catalogue.closeInput();
    const auto deadline = trax_test::ChildProcess::after(10000);
    EXPECT_TRUE(catalogue.readToEnd(deadline));
    const std::string table = catalogue.output();
    const std::string err = catalogue.readErrors(deadline);
    EXPECT_EQ(catalogue.wait(deadline).status, 0);
    EXPECT_EQ(err, bad + ":1:36: slot: 'x' is not an integer\n");
    EXPECT_NE(table.find("| `sim_dio_1` |"), std::string::npos);
    EXPECT_NE(table.find("| `sim_mt_1` |"), std::string::npos);
    EXPECT_NE(table.find("| replaced |"), std::string::npos);
    EXPECT_NE(table.find("| `file_dev_1` |"), std::string::npos);
    EXPECT_NE(table.find("| second |"), std::string::npos);
    EXPECT_EQ(table.find("| first |"), std::string::npos);
    EXPECT_EQ(table.find("file_dev_2"), std::string::npos);
}

} // namespace
