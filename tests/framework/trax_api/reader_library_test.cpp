// The YAML reader library: the device API loads it (and yaml-cpp with it) at the first use
// of the device catalogue, not at start, and only to parse a text the parse cache does not
// hold; without it, every definition file that must be parsed says so once and yields no
// device.
#include <link.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "api_test_util.h"
#include "child_process.h"
#include "temp_folder.h"

namespace {

using trax_test::BinPath;
using trax_test::ChildProcess;
using trax_test::SetProcessEnvironment;
using trax_test::TempFolder;

// Whether a module whose file name starts with prefix is loaded into this process.
bool Loaded(const char *prefix) {
    auto match = [](dl_phdr_info *info, size_t, void *data) {
        const char *slash = std::strrchr(info->dlpi_name, '/');
        const char *name = slash != nullptr ? slash + 1 : info->dlpi_name;
        const char *wanted = static_cast<const char *>(data);
        return std::strncmp(name, wanted, std::strlen(wanted)) == 0 ? 1 : 0;
    };
    return dl_iterate_phdr(match, const_cast<char *>(prefix)) != 0;
}

TEST(ReaderLibrary, LoadsAtTheFirstCatalogueUseWithAnEmptyCache) {
    const TempFolder cache;
    SetProcessEnvironment("XDG_CACHE_HOME", cache.path().c_str());
    char text[256];
    M_errstringTs(static_cast<int32_t>(ERR_MK_NO_DEVICE), text);
    EXPECT_FALSE(Loaded("libtrax_yaml_reader.so"));
    EXPECT_FALSE(Loaded("libyaml-cpp.so"));
    const int32_t path = M_open("sim_mt_1");
    ASSERT_GT(path, 0);
    EXPECT_TRUE(Loaded("libtrax_yaml_reader.so"));
    EXPECT_TRUE(Loaded("libyaml-cpp.so"));
    EXPECT_EQ(M_close(path), 0);
}

// traxapp and the libraries in an installation's layout, with a cache and a definition
// file of their own.
class Installation {
  public:
    Installation() : bin_(root_.path() + "/bin"), libs_(bin_ / TRAX_LIBDIR_FROM_BINDIR) {
        std::filesystem::create_directories(libs_);
        std::filesystem::copy_file(BinPath("traxapp"), bin_ / "traxapp");
        for (const char *name : {"libvelk_trax_api.so.1", "libvelk_usr_oss.so.1",
                                 "libvelk_usr_utl.so.1", "libtrax_platform.so.1"}) {
            std::filesystem::copy_file(std::string(TRAX_BIN_DIR "/") + name, libs_ / name);
        }
        own_ = root_.write("config/trax/devices.d/own.yaml", "devices: []\n");
    }
    std::filesystem::path reader() const { return libs_ / TRAX_YAML_READER_FILE; }
    const std::string &own() const { return own_; }

    struct Run {
        int status;
        std::string output;
        std::string errors;
    };
    Run traxapp(const char *device) const {
        ChildProcess app((bin_ / "traxapp").string(), {device},
                         {"XDG_CONFIG_HOME=" + root_.path() + "/config",
                          "XDG_CACHE_HOME=" + root_.path() + "/cache", "TRAX_DEVICES="},
                         true);
        app.closeInput();
        const auto deadline = ChildProcess::after(10000);
        Run run{0, {}, app.readErrors(deadline)};
        app.readToEnd(deadline);
        run.status = app.wait(deadline).status;
        run.output = app.output();
        return run;
    }

  private:
    TempFolder root_;
    std::filesystem::path bin_;
    std::filesystem::path libs_;
    std::string own_;
};

TEST(ReaderLibrary, WithoutItEachFileToParseSaysSoOnceAndACachedOneStillReads) {
    const Installation installation;
    const Installation::Run without = installation.traxapp("sim_dio_1");
    EXPECT_EQ(without.status, 1);
    EXPECT_EQ(without.output, "*** can't open: ERR_MK_NO_DEVICE: unknown device name\n");
    const std::string why = ":1:1: YAML cannot be read without the YAML reader library: " +
                            installation.reader().string() +
                            ": cannot open shared object file: No such file or directory\n";
    std::string expected;
    for (const std::string &file :
         {std::string("<built-in>/sim_dio_1.yaml"), std::string("<built-in>/sim_adc_1.yaml"),
          std::string("<built-in>/sim_mt_1.yaml"), std::string("<built-in>/sim_fault_1.yaml"),
          installation.own()}) {
        expected += file + why;
    }
    EXPECT_EQ(without.errors, expected);

    // With the library the files are parsed and cached; then the cache is enough.
    std::filesystem::copy_file(std::string(TRAX_BIN_DIR "/") + TRAX_YAML_READER_FILE,
                               installation.reader());
    const Installation::Run parsed = installation.traxapp("sim_dio_1");
    EXPECT_EQ(parsed.status, 0);
    EXPECT_EQ(parsed.errors, "");
    EXPECT_NE(parsed.output.find("- number of channels = 16\n"), std::string::npos);
    std::filesystem::remove(installation.reader());
    const Installation::Run cached = installation.traxapp("sim_dio_1");
    EXPECT_EQ(cached.status, 0);
    EXPECT_EQ(cached.errors, "");
    EXPECT_EQ(cached.output, parsed.output);
}

} // namespace
