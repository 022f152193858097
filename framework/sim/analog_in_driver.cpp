// Analog inputs whose values follow waveforms over time.
#include <cmath>
#include <ctime>
#include <numbers>

#include "sim_drivers.h"
#include "trax_errors.h"

namespace sim {

namespace {

constexpr double kFullScale = 65535.0;

// Phase 0..1 of a waveform with the given period at time t.
double phase(double seconds, double period) {
    const double cycles = seconds / period;
    return cycles - std::floor(cycles);
}

double waveform(int32_t kind, double p) {
    switch (kind) {
    case 0:
        return 0.5 + 0.5 * std::sin(2.0 * std::numbers::pi * p);
    case 1:
        return p;
    case 2:
        return p < 0.5 ? 2.0 * p : 2.0 - 2.0 * p;
    default:
        return p < 0.5 ? 1.0 : 0.0;
    }
}

} // namespace

AnalogInDriver::AnalogInDriver(const DeviceSpec &spec, const DeviceState &state)
    : channelCount_(spec.channels.number), state_(state) {}

double AnalogInDriver::elapsed_seconds() const {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const int64_t ns = static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
    return static_cast<double>(ns - state_.startNs) * 1e-9;
}

int32_t AnalogInDriver::sample(int32_t channel, double seconds) {
    const double period = 1.0 + 0.5 * channel;
    const double level = waveform(channel % 4, phase(seconds, period));
    return static_cast<int32_t>(std::lround(level * kFullScale));
}

Status AnalogInDriver::read(int32_t channel, int32_t *value) {
    *value = sample(channel, elapsed_seconds());
    return ERR_SUCCESS;
}

Status AnalogInDriver::write(int32_t, int32_t) {
    return ERR_LL_WRITE;
}

Status AnalogInDriver::get_block(uint8_t *buffer, int32_t length, int32_t *done) {
    const double seconds = elapsed_seconds();
    for (int32_t i = 0; i < length; ++i) {
        const int32_t value = sample((i / 2) % channelCount_, seconds);
        buffer[i] = static_cast<uint8_t>(i % 2 == 0 ? value & 0xFF : (value >> 8) & 0xFF);
    }
    *done = length;
    return ERR_SUCCESS;
}

Status AnalogInDriver::set_block(const uint8_t *, int32_t, int32_t *) {
    return ERR_LL_WRITE;
}

} // namespace sim
