// Fault and timing rules: each call on a device is counted by the rules that match it, and
// a rule that fires fails the call, delays it, or both.
#include <algorithm>

#include "sim_device.h"

namespace sim {

namespace {

bool uses_channel(DeviceCall call) {
    return call == DeviceCall::Read || call == DeviceCall::Write;
}

bool matches(const FaultRule &rule, DeviceCall call, int32_t selector) {
    if ((rule.calls & (1u << static_cast<unsigned>(call))) == 0) {
        return false;
    }
    if (uses_channel(call)) {
        return rule.channel < 0 || rule.channel == selector;
    }
    return rule.codes.empty() ||
           std::find(rule.codes.begin(), rule.codes.end(), selector) != rule.codes.end();
}

// splitmix64: small, fast, and its whole state is one number that the device keeps.
uint64_t next_random(uint64_t &state) {
    uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

// A uniform draw from [0, 1) with 53 random bits.
double draw(uint64_t &state) {
    return static_cast<double>(next_random(state) >> 11) * 0x1.0p-53;
}

// Whether the rule fires on the call that it counts as its callNumber-th (from 1).
bool fires(const FaultRule &rule, uint64_t callNumber, uint64_t &random) {
    switch (rule.when) {
    case When::Nth:
        return callNumber == rule.n;
    case When::Every:
        return rule.n != 0 && callNumber % rule.n == 0;
    case When::From:
        return callNumber >= rule.n;
    case When::Probability:
        return draw(random) < rule.probability;
    case When::Always:
        break;
    }
    return true;
}

} // namespace

// Every matching rule counts the call; of the rules that fire, the first with an error
// gives the call's error and the delays of all of them add up.
Injection Device::inject(DeviceCall call, int32_t selector) {
    Injection result;
    DeviceState &state = shared_.device();
    const std::size_t count = std::min(spec_.faults.size(), kMaxFaultRules);
    for (std::size_t i = 0; i < count; ++i) {
        const FaultRule &rule = spec_.faults[i];
        if (!matches(rule, call, selector)) {
            continue;
        }
        const uint64_t callNumber = ++state.ruleCalls[i];
        if (!fires(rule, callNumber, state.random)) {
            continue;
        }
        if (result.error == 0) {
            result.error = rule.error;
        }
        result.delayMs += rule.delayMs;
    }
    return result;
}

} // namespace sim
