#include "signal_recorder.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace uos_test {

namespace {

std::mutex g_lock;
std::condition_variable g_changed;
std::vector<uint32_t> g_codes;
std::function<void(uint32_t)> g_action;

} // namespace

void RecordSignal(uint32_t code) {
    std::function<void(uint32_t)> action;
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_codes.push_back(code);
        action = g_action;
    }
    g_changed.notify_all();
    if (action)
        action(code);
}

void ResetRecorder() {
    std::lock_guard<std::mutex> guard(g_lock);
    g_codes.clear();
    g_action = nullptr;
}

void SetRecorderAction(std::function<void(uint32_t)> action) {
    std::lock_guard<std::mutex> guard(g_lock);
    g_action = std::move(action);
}

std::vector<uint32_t> WaitForSignals(size_t count, int timeoutMs) {
    std::unique_lock<std::mutex> guard(g_lock);
    g_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                       [count] { return g_codes.size() >= count; });
    return g_codes;
}

} // namespace uos_test
