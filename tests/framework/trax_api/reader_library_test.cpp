// The YAML reader library: the device API loads it (and yaml-cpp with it) at the first use
// of the device catalogue, not at start; without it, every definition file says so once and
// yields no device.
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

TEST(ReaderLibrary, LoadsAtTheFirstCatalogueUseOnly) {
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

TEST(ReaderLibrary, WithoutItEachFileSaysSoOnceAndNoDeviceOpens) {
    // traxapp and the libraries in an installation's layout, the YAML reader library left out.
    const TempFolder root;
    const std::filesystem::path bin = root.path() + "/bin";
    const std::filesystem::path libs = bin / TRAX_LIBDIR_FROM_BINDIR;
    std::filesystem::create_directories(bin);
    std::filesystem::create_directories(libs);
    std::filesystem::copy_file(BinPath("traxapp"), bin / "traxapp");
    for (const char *name : {"libvelk_trax_api.so.1", "libvelk_usr_oss.so.1",
                             "libvelk_usr_utl.so.1", "libtrax_platform.so.1"}) {
        std::filesystem::copy_file(std::string(TRAX_BIN_DIR "/") + name, libs / name);
    }
    const std::string own = root.write("config/trax/devices.d/own.yaml", "devices: []\n");

    ChildProcess app((bin / "traxapp").string(), {"sim_dio_1"},
                     {"XDG_CONFIG_HOME=" + root.path() + "/config", "TRAX_DEVICES="}, true);
    app.closeInput();
    const auto deadline = ChildProcess::after(10000);
    const std::string errors = app.readErrors(deadline);
    app.readToEnd(deadline);
    EXPECT_EQ(app.wait(deadline).status, 1);
    EXPECT_EQ(app.output(), "*** can't open: ERR_MK_NO_DEVICE: unknown device name\n");

    const std::string why = ":1:1: YAML cannot be read without the YAML reader library: " +
                            (libs / TRAX_YAML_READER_FILE).string() +
                            ": cannot open shared object file: No such file or directory\n";
    std::string expected;
    for (const std::string &file :
         {std::string("<built-in>/sim_dio_1.yaml"), std::string("<built-in>/sim_adc_1.yaml"),
          std::string("<built-in>/sim_mt_1.yaml"), std::string("<built-in>/sim_fault_1.yaml"),
          own}) {
        expected += file + why;
    }
    EXPECT_EQ(errors, expected);
}

} // namespace
