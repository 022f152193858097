// Fault and timing rules: each kind fires exactly on the calls it names, counters are per
// rule and device, a seeded generator repeats, and a delay holds the call back.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "sim_catalogue.h"
#include "sim_definition.h"
#include "sim_device.h"
#include "temp_folder.h"
#include "trax_api.h"
#include "trax_codes.h"
#include "trax_errors.h"
#include "trax_win32.h"

namespace {

sim::DeviceSpec device_with(const std::string &name, const std::string &faults) {
    const sim::Definitions read = sim::parse_definitions(
        "devices:\n  - name: " + name + "\n    channels: {count: 4}\n    faults:\n" + faults,
        "rules.yaml");
    EXPECT_TRUE(read.problems.empty()) << read.problems[0];
    return read.devices.at(0);
}

// Which of the first calls (from 1) fail: "x" for a failure with error, "." for success.
template <class F> std::string pattern(int calls, sim::Status error, F call) {
    std::string seen;
    for (int i = 0; i < calls; ++i) {
        const bool failed = call() == -1;
        seen += failed && GetLastError() == error ? 'x' : failed ? '?' : '.';
    }
    return seen;
}

// Reads alternate between channel 0 and 1, so a rule without a channel counts the reads
// of both: its 3rd call is the 2nd read of channel 0.
struct RuleCase {
    const char *rule;
    const char *reads;    // reads of channel 0 ...
    const char *channel1; // ... and of channel 1, in turn
};

TEST(FaultRules, EachKindFiresExactlyWhenItSays) {
    const RuleCase cases[] = {
        {"{call: read, error: ERR_LL_READ}", "xxxxxx", "xxxxxx"},
        {"{call: read, error: ERR_LL_READ, nth: 3}", ".x....", "......"},
        {"{call: read, error: ERR_LL_READ, every: 2}", "......", "xxxxxx"},
        {"{call: read, error: ERR_LL_READ, from: 4}", "..xxxx", ".xxxxx"},
        {"{call: read, channel: 1, error: ERR_LL_READ, nth: 2}", "......", ".x...."},
        {"{call: [write, getstat], error: ERR_LL_READ}", "......", "......"},
        {"{call: read, error: ERR_LL_READ, probability: 0}", "......", "......"},
        {"{call: read, error: ERR_LL_READ, probability: 1}", "xxxxxx", "xxxxxx"},
    };
    int index = 0;
    for (const RuleCase &c : cases) {
        const std::string name = "rule_dev_" + std::to_string(index++);
        ASSERT_EQ(sim::Catalogue::add(device_with(name, std::string("      - ") + c.rule + "\n")),
                  0u);
        const int32_t path = M_open(name.c_str());
        ASSERT_GT(path, 0);
        int32_t value = 0;
        std::string ch0, ch1;
        for (int i = 0; i < 6; ++i) {
            M_setstat(path, M_MK_CH_CURRENT, 0);
            ch0 += pattern(1, ERR_LL_READ, [&] { return M_read(path, &value); });
            M_setstat(path, M_MK_CH_CURRENT, 1);
            ch1 += pattern(1, ERR_LL_READ, [&] { return M_read(path, &value); });
        }
        EXPECT_EQ(ch0, c.reads) << c.rule;
        EXPECT_EQ(ch1, c.channel1) << c.rule;
        EXPECT_EQ(M_close(path), 0);
    }
}

TEST(FaultRules, EveryCallKindCanFailWithItsCodeOrNumber) {
    ASSERT_EQ(sim::Catalogue::add(device_with(
                  "rule_calls_1",
                  "      - {call: open, error: ERR_MK_PATHS_FULL, nth: 1}\n"
                  "      - {call: close, error: 0x1f, nth: 1}\n"
                  "      - {call: [getstat, setstat], code: 0x1101, error: ERR_LL_DEV_FAULT}\n"
                  "      - {call: [write, getblock, setblock], error: ERR_LL_WRITE, nth: 1}\n"
                  "      - {call: ioctl, code: 0x91002014, error: ERR_MK, every: 1}\n")),
              0u);
    EXPECT_EQ(pattern(2, ERR_MK_PATHS_FULL, [] { return M_open("rule_calls_1") > 0 ? 0 : -1; }),
              "x.");
    const int32_t path = M_open("rule_calls_1");
    int32_t value = 0;
    uint8_t bytes[4] = {};
    EXPECT_EQ(pattern(2, ERR_LL_DEV_FAULT, [&] { return M_getstat(path, M_LL_CH_NUMBER, &value); }),
              "xx");
    EXPECT_EQ(pattern(1, ERR_LL_DEV_FAULT, [&] { return M_setstat(path, M_LL_CH_NUMBER, 1); }),
              "x");
    EXPECT_EQ(pattern(2, ERR_LL_DEV_FAULT, [&] { return M_getstat(path, M_LL_CH_DIR, &value); }),
              "..");
    // The write rule counts writes, block reads and block writes together.
    EXPECT_EQ(pattern(1, ERR_LL_WRITE, [&] { return M_write(path, 1); }), "x");
    EXPECT_EQ(pattern(1, ERR_LL_WRITE, [&] { return M_getblock(path, bytes, 4); }), ".");
    int32_t ms = 0;
    EXPECT_EQ(DeviceIoControl(reinterpret_cast<HANDLE>(static_cast<intptr_t>(path)), MK_IOCTL_DELAY,
                              &ms, sizeof ms, nullptr, 0, nullptr, nullptr),
              FALSE);
    EXPECT_EQ(GetLastError(), ERR_MK);
    // The first close fails and leaves the path open; the second closes it.
    EXPECT_EQ(pattern(2, 0x1f, [&] { return M_close(path); }), "x.");
    EXPECT_EQ(M_close(path), -1);
    EXPECT_EQ(GetLastError(), ERR_MK_ILL_PATH);
}

TEST(FaultRules, SeededGeneratorRepeatsPerDevice) {
    const sim::DeviceSpec spec = device_with(
        "rule_random_1", "      - {call: read, error: ERR_LL_READ, probability: 0.5}\n");
    const auto draws = [](sim::DeviceSpec s, std::optional<uint64_t> seed) {
        s.seed = seed;
        sim::Device device(s);
        std::string fired;
        for (int i = 0; i < 64; ++i) {
            fired += device.inject(sim::DeviceCall::Read, 0).error != 0 ? 'x' : '.';
        }
        return fired;
    };
    const std::string first = draws(spec, 42);
    EXPECT_EQ(draws(spec, 42), first);
    EXPECT_NE(draws(spec, 43), first);
    EXPECT_NE(first.find('x'), std::string::npos);
    EXPECT_NE(first.find('.'), std::string::npos);
    // TRAX_SEED replaces the definition's seed when it is a decimal or 0x-hex number.
    const std::string seeded43 = draws(spec, 43);
    for (const char *text : {"43", "0x2b", "043"}) {
        trax_test::SetProcessEnvironment("TRAX_SEED", text);
        EXPECT_EQ(draws(spec, 42), seeded43) << text;
    }
    for (const char *text : {"", "-1", "+43", " 43", "43x", "0x", "18446744073709551616"}) {
        trax_test::SetProcessEnvironment("TRAX_SEED", text);
        EXPECT_EQ(draws(spec, 42), first) << text;
    }
    trax_test::SetProcessEnvironment("TRAX_SEED", nullptr);
}

TEST(FaultRules, DelayHoldsTheCallBack) {
    ASSERT_EQ(sim::Catalogue::add(device_with(
                  "rule_delay_1", "      - {call: getstat, code: 0x1101, delay_ms: 40}\n")),
              0u);
    const int32_t path = M_open("rule_delay_1");
    int32_t value = 0;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(M_getstat(path, M_LL_CH_NUMBER, &value), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(40));
    EXPECT_EQ(value, 4);
    EXPECT_EQ(M_close(path), 0);
}

} // namespace
