// Direct calls: M_read and M_write that reach a device's channel values without the
// platform's handle table and without the device's lock, for the devices and paths where
// nothing else has to happen on such a call.
//
// Each open path is also entered in a fixed table indexed by its path number. A direct
// call marks its thread busy, finds the path in the table, moves the value with one plain
// atomic load or store, and marks the thread idle again: no lock and no read-modify-write
// of memory that other threads touch.
//
// What a direct call reads (the path, its device, the device state) must not be freed or
// unmapped under it. Before a path is freed it is taken out of the table, and then
// wait_for_direct_calls() makes every thread pass a memory barrier (the platform's
// FlushProcessWriteBuffers) and waits for each thread that is inside a direct call to
// leave it. A call that began after the barrier finds the path gone from the table and
// takes the ordinary way, which fails cleanly for a closed path. So the cost of safety
// falls on the close, which is rare, and not on every call. A counter of calls in each
// path's slot would be as safe, but costs two atomic read-modify-writes per call, several
// times the work of the call itself.
#ifndef TRAX_SIM_DIRECT_H
#define TRAX_SIM_DIRECT_H

#include <atomic>
#include <cstdint>

#include "sim_catalogue.h"

namespace sim {

struct Path;

/// Path numbers below this have a place in the table; higher ones always take the
/// ordinary way. The platform's handle numbers of device paths stay below it.
constexpr int32_t kDirectPaths = 16384;

/// Marks the calling thread inside a direct call for its lifetime, so that
/// wait_for_direct_calls() does not return meanwhile.
class DirectCall {
  public:
    DirectCall();
    ~DirectCall() { calls_.store(count_ + 1, std::memory_order_release); }
    DirectCall(const DirectCall &) = delete;
    DirectCall &operator=(const DirectCall &) = delete;

  private:
    std::atomic<uint32_t> &calls_; ///< the thread's count of direct calls begun and ended
    uint32_t count_;
};

/// Enters an open path in the table under its number.
void publish_path(int32_t number, Path &path);
/// Takes the path out of the table if it is still there; true if it ever was in it, and
/// so may still be in use by a direct call.
bool withdraw_path(Path &path);
/// Returns once no thread is inside a direct call that began before this was called.
void wait_for_direct_calls();

/// M_read/M_write as a direct call. False when the call must take the ordinary way (the
/// path is not in the table, or its device or path needs more than the value moved);
/// otherwise the call is done and status holds its outcome.
bool direct_read(int32_t path, int32_t *value, Status &status);
bool direct_write(int32_t path, int32_t value, Status &status);

} // namespace sim

#endif
