// The floor of the device-call benchmark: the same work as M_read and M_write on a binary
// channel (check the path, find the device, check the channel, move the value) in a plain
// shared-library call with no locking. Its two entries share M_read's and M_write's
// signatures.
#include <cstdint>

namespace {

constexpr int kPaths = 64;
constexpr int kChannels = 16;

struct FloorDevice {
    int32_t channel = 0;
    int32_t values[kChannels] = {};
};

FloorDevice devices[kPaths];

FloorDevice *deviceOf(int32_t path) {
    return path > 0 && path < kPaths ? &devices[path] : nullptr;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t floor_read(int32_t path, int32_t *value) {
    FloorDevice *device = deviceOf(path);
    if (device == nullptr || value == nullptr || device->channel >= kChannels)
        return -1;
    *value = device->values[device->channel];
    return 0;
}

extern "C" __attribute__((visibility("default"))) int32_t floor_write(int32_t path, int32_t value) {
    FloorDevice *device = deviceOf(path);
    if (device == nullptr || device->channel >= kChannels)
        return -1;
    device->values[device->channel] = value & 1;
    return 0;
}
