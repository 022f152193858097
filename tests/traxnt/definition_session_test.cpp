// A traxnt session on a device defined in a file: what the file says reaches the shell.
#include <fstream>
#include <sstream>
#include <string>

#include "run_prog.h"

namespace {

// Runs traxnt on the example definition file of the source tree, copied to a private file
// (definition files writable by others are refused).
ProgResult RunOnExample(const std::string &input, const char *seed = nullptr) {
    std::ifstream source(TRAX_SOURCE_DIR "/examples/devices/my_devices.yaml");
    std::ostringstream example;
    example << source.rdbuf();
    const TempFolder folder;
    std::vector<std::string> environment{"TRAX_DEVICES=" +
                                         folder.write("my_devices.yaml", example.str())};
    if (seed != nullptr) {
        environment.push_back(std::string("TRAX_SEED=") + seed);
    }
    return RunTraxnt(input, environment);
}

TEST(DefinitionSession, FileDefinedDeviceShowsWhatItsFileSays) {
    const ProgResult result = RunOnExample("mo my_counter_1\nmg 1101 0\ndevid\nlldrv\nbrdid\n"
                                           "mg 1201 0\nms 1202 7\nmg 1202 0\nmg 2201 4\n"
                                           "mg 1202 0\nmg 1202 0\nmc\n");
    EXPECT_TRUE(StatusIs(0, result));
    EXPECT_EQ(1u, CountOf(result.out, " output value = 0x5\n"));
    EXPECT_EQ(1u, CountOf(result.out, " 0000: 5346 0c05 0001 0000 002a 594d 432d 544e  "
                                      "|FS......*.MY-CNT|\n"));
    EXPECT_EQ(1u,
              CountOf(result.out, " M_LL_CH_TYP    - channel type       : 4 ( M_CH_COUNTER )\n"));
    EXPECT_EQ(1u, CountOf(result.out, " M_LL_IRQ_COUNT - irq counter        : 2\n"));
    EXPECT_EQ(1u, CountOf(result.out, " 0000: 5346 0b09 0001 0000 1267 594d 505f "));
    EXPECT_EQ(1u, CountOf(result.out, " output value = 0x42\n"));
    EXPECT_EQ(3u, CountOf(result.out, " output value = 0x7\n")); // set, then two reads
    EXPECT_EQ(1u, CountOf(result.out, " 0000: de ad be ef "));
    // The register's rule lets two reads through and fails the third.
    EXPECT_EQ(1u, CountOf(result.out, "ERR_LL_DEV_FAULT: simulated device fault\n"));
}

// The outcomes of the block reads in order: '.' delivered, 'x' failed.
std::string BlockReadOutcomes(const std::string &out) {
    const std::string call = "cmd: -Call M_getblock";
    std::string outcomes;
    for (size_t at = out.find(call); at != std::string::npos;) {
        const size_t next = out.find(call, at + 1);
        const std::string chunk = out.substr(at, next - at);
        outcomes += chunk.find("ERROR_INVALID_FUNCTION") != std::string::npos ? 'x' : '.';
        at = next;
    }
    return outcomes;
}

TEST(DefinitionSession, SeededRunRepeatsExactly) {
    std::string reads = "mo my_counter_1\n";
    for (int i = 0; i < 30; ++i) {
        reads += "mgb\n4\n";
    }
    const ProgResult first = RunOnExample(reads, "1234");
    const ProgResult second = RunOnExample(reads, "1234");
    EXPECT_TRUE(StatusIs(0, first));
    const std::string outcomes = BlockReadOutcomes(first.out);
    EXPECT_EQ(outcomes.size(), 30u);
    EXPECT_NE(outcomes.find('x'), std::string::npos);
    EXPECT_NE(outcomes.find('.'), std::string::npos);
    EXPECT_EQ(BlockReadOutcomes(second.out), outcomes);
}

} // namespace
