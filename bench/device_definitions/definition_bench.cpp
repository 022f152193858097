// Device definition files: time to load 1,000 definitions without the parse cache (cold),
// while filling it, and from it (warm), beside yaml-cpp's own parser on the same text with
// its events discarded (the floor of any reader that parses); M_open
// and M_read on a device defined in a file beside the same device built in, in one run; a
// fault rule's delay as requested and as measured.
#include <sys/stat.h>
#include <unistd.h>
#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/parser.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_stats.h"
#include "ratio_stats.h"
#include "sim_catalogue.h"
#include "sim_definition.h"
#include "trax_api.h"
#include "yaml_cache.h"

namespace {

constexpr int kDefinitions = 1000;
constexpr int kFiles = 10;
constexpr int kRounds = 5;
constexpr int kReadCalls = 200000;
// The first M_open of a device sets up its shared state, so an open and close cost about a
// thousand reads; fewer of them give as steady a figure in a bearable time.
constexpr int kOpenCalls = 20000;

// sim_dio_1's full definition under another name, with a status code and a fault rule
// that never fires, so that the loaded definitions use every part of the reader.
std::string definition_named(const std::string &name, const std::string &extra) {
    sim::DeviceSpec spec = sim::builtin_devices().at(0);
    spec.name = name;
    spec.statusCodes = {{0x1201, true, 5, {}, 0}, {0x1202, true, 0, {}, 0}};
    std::string text = sim::dump_definition(spec);
    const std::string faults = "    faults: []\n";
    text.replace(text.find(faults), faults.size(), "    faults:\n" + extra);
    return text;
}

// The devices part of a definition text (everything after "devices:\n").
std::string devices_part(const std::string &text) {
    return text.substr(text.find("devices:\n") + 9);
}

std::string write_file(const std::string &folder, const std::string &name,
                       const std::string &text) {
    const std::string path = folder + "/" + name;
    std::ofstream(path) << text;
    chmod(path.c_str(), 0600);
    return path;
}

// Wall-clock and processor milliseconds of the runs of one load.
struct Timing {
    std::vector<double> wall, cpu;
};

template <class F> void time_once(Timing &timing, F load) {
    const int64_t start = bench::NowNs(), startCpu = bench::ThreadCpuNs();
    load();
    timing.wall.push_back(static_cast<double>(bench::NowNs() - start) / 1e6);
    timing.cpu.push_back(static_cast<double>(bench::ThreadCpuNs() - startCpu) / 1e6);
}

// Prints what was done and its wall-clock and processor time as median (min-max) over the
// runs (processor time tells the figure apart from the load of a shared machine).
void print_timing(const std::string &what, const Timing &timing) {
    std::printf("%s: processor ms ", what.c_str());
    bench::PrintSpread("%.1f", timing.cpu);
    std::printf(", wall-clock ms ");
    bench::PrintSpread("%.1f", timing.wall);
    std::printf("\n");
}

template <class F> void time_rounds(const std::string &what, F load) {
    Timing timing;
    for (int r = 0; r < kRounds; ++r) {
        time_once(timing, load);
    }
    print_timing(what, timing);
}

uint64_t folder_bytes(const std::string &folder) {
    uint64_t bytes = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        bytes += entry.file_size();
    }
    return bytes;
}

// Loads the files with the parse cache off (as a process without it), into an empty cache
// (parsing and storing), and from the cache that an earlier load filled.
void time_loading(const char *what, const std::vector<std::string> &files) {
    std::size_t loaded = 0;
    uint64_t textBytes = 0;
    for (const std::string &file : files) {
        loaded += sim::read_definition_file(file).devices.size();
        textBytes += std::filesystem::file_size(file);
    }
    const auto load = [&] {
        for (const std::string &file : files) {
            sim::read_definition_file(file);
        }
    };
    const std::string loading = "loading " + std::to_string(loaded) + " " + what +
                                " definitions from " + std::to_string(files.size()) + " files";
    // Without the cache and into an empty one in turns, so that both see the same machine.
    const std::string cache = sim::yaml_cache_folder();
    Timing plain, storing;
    for (int r = 0; r < kRounds; ++r) {
        setenv("TRAX_CACHE", "0", 1);
        time_once(plain, load);
        unsetenv("TRAX_CACHE");
        std::filesystem::remove_all(cache);
        time_once(storing, load);
    }
    print_timing(loading + ", cold (no cache)", plain);
    print_timing(loading + ", cold, storing the cache", storing);
    std::printf("  storing / no cache, processor time: ");
    bench::PrintSpread("%.2f", bench::Ratios(storing.cpu, plain.cpu));
    std::printf("\n");
    const uint64_t hits = sim::yaml_cache_counts().hits;
    time_rounds(loading + ", warm (from the cache)", load);
    std::printf("  cache: %llu of %d loads were hits; %llu bytes of entries for %llu bytes of "
                "text\n",
                static_cast<unsigned long long>(sim::yaml_cache_counts().hits - hits),
                kRounds * static_cast<int>(files.size()),
                static_cast<unsigned long long>(folder_bytes(cache)),
                static_cast<unsigned long long>(textBytes));
}

// Takes yaml-cpp's parser events and does nothing with them.
class IgnoreEvents : public YAML::EventHandler {
  public:
    void OnDocumentStart(const YAML::Mark &) override {}
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark &, YAML::anchor_t) override {}
    void OnAlias(const YAML::Mark &, YAML::anchor_t) override {}
    void OnScalar(const YAML::Mark &, const std::string &, YAML::anchor_t,
                  const std::string &) override {}
    void OnSequenceStart(const YAML::Mark &, const std::string &, YAML::anchor_t,
                         YAML::EmitterStyle::value) override {}
    void OnSequenceEnd() override {}
    void OnMapStart(const YAML::Mark &, const std::string &, YAML::anchor_t,
                    YAML::EmitterStyle::value) override {}
    void OnMapEnd() override {}
};

// yaml-cpp's parser alone on the texts of the files, already in memory.
void time_parser_floor(const char *what, const std::vector<std::string> &files) {
    std::vector<std::string> texts;
    for (const std::string &file : files) {
        std::ostringstream text;
        text << std::ifstream(file).rdbuf();
        texts.push_back(text.str());
    }
    time_rounds(std::string("yaml-cpp parser only, ") + what + " texts", [&] {
        for (const std::string &text : texts) {
            std::istringstream input(text);
            YAML::Parser parser(input);
            IgnoreEvents ignore;
            parser.HandleNextDocument(ignore);
        }
    });
}

void bench_loading(const std::string &folder) {
    const std::string never = "      - {call: ioctl, code: 0x7fffffff, error: ERR_MK, nth: 1}\n";
    std::vector<std::string> full, minimal;
    for (int f = 0; f < kFiles; ++f) {
        std::string fullText = "devices:\n", minimalText = "devices:\n";
        for (int d = 0; d < kDefinitions / kFiles; ++d) {
            const std::string name = "bench_" + std::to_string(f) + "_" + std::to_string(d);
            fullText += devices_part(definition_named(name, never));
            minimalText += "  - {name: " + name + ", model: binary_io}\n";
        }
        full.push_back(write_file(folder, "full" + std::to_string(f) + ".yaml", fullText));
        minimal.push_back(write_file(folder, "min" + std::to_string(f) + ".yaml", minimalText));
    }
    time_loading("minimal", minimal);
    time_parser_floor("minimal", minimal);
    time_loading("full", full);
    time_parser_floor("full", full);
}

// Processor nanoseconds per call of f over calls calls.
template <class F> double ns_per_call(int calls, F f) {
    const int64_t start = bench::ThreadCpuNs();
    for (int i = 0; i < calls; ++i) {
        f();
    }
    return static_cast<double>(bench::ThreadCpuNs() - start) / calls;
}

// Runs both devices in turns, repeated, and prints each side's processor time per call
// and the ratio file-defined / built-in as median (min-max) over the runs.
template <class F> void compare(const char *what, int calls, F call) {
    std::vector<double> builtIn, fromFile;
    for (int r = 0; r < kRounds; ++r) {
        builtIn.push_back(ns_per_call(calls, [&] { call("sim_dio_1"); }));
        fromFile.push_back(ns_per_call(calls, [&] { call("file_dio_1"); }));
    }
    std::printf("%-15s built-in ns ", what);
    bench::PrintSpread("%.0f", builtIn);
    std::printf("  file-defined ns ");
    bench::PrintSpread("%.0f", fromFile);
    std::printf("  ratio ");
    bench::PrintSpread("%.2f", bench::Ratios(fromFile, builtIn));
    std::printf("\n");
}

void bench_calls() {
    int32_t value = 0;
    compare("M_open+M_close", kOpenCalls, [](const char *name) { M_close(M_open(name)); });
    const int32_t builtInPath = M_open("sim_dio_1");
    const int32_t filePath = M_open("file_dio_1");
    compare("M_read", kReadCalls,
            [&](const char *name) { M_read(name[0] == 's' ? builtInPath : filePath, &value); });
    M_close(builtInPath);
    M_close(filePath);
}

void bench_delay(int32_t ms) {
    const int32_t path = M_open("file_dio_1");
    std::vector<int64_t> samples;
    for (int i = 0; i < 20; ++i) {
        const int64_t start = bench::NowNs();
        M_setstat(path, 0x1202, i);
        samples.push_back(bench::NowNs() - start);
    }
    std::printf(
        "delay rule of %d ms on M_setstat: measured min %.2f ms, p50 %.2f ms, max %.2f ms\n", ms,
        bench::Percentile(samples, 0) / 1e6, bench::Percentile(samples, 50) / 1e6,
        bench::Percentile(samples, 100) / 1e6);
    M_close(path);
}

} // namespace

int main() {
    char folder[] = "/tmp/trax_defbench_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    // The parse cache of this run is its own, not the user's.
    setenv("XDG_CACHE_HOME", folder, 1);
    bench_loading(folder);
    // The device defined in a file must be read at the process's first catalogue use, as a
    // user's would be; the loading benchmark above does not use the catalogue's loader.
    const std::string rule = "      - {call: setstat, code: 0x1202, delay_ms: 5}\n";
    const std::string device =
        write_file(folder, "file_dio_1.yaml", definition_named("file_dio_1", rule));
    setenv("TRAX_DEVICES", device.c_str(), 1);
    bench_calls();
    bench_delay(5);
    std::system(("rm -rf '" + std::string(folder) + "'").c_str());
    return 0;
}
