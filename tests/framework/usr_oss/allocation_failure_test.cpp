// Running out of memory in the signal functions: each call fails with an error number
// that says so, throws nothing at its C caller, and leaves the session usable.
#include <gtest/gtest.h>

#include "failing_new.h"
#include "trax_errors.h"
#include "usr_oss.h"

namespace {

using failing_new::SweepAllocations;

constexpr uint32_t kCode = 0x1a1;

// A call that failed must have failed for want of memory: directly, or because the event
// or the thread it needed could not be made.
void expectMemoryFailure(int32_t result, bool allocationFailed) {
    EXPECT_TRUE(allocationFailed) << "failed without an allocation failure";
    EXPECT_TRUE(result == static_cast<int32_t>(ERR_UOS_NO_MEM) ||
                result == static_cast<int32_t>(ERR_UOS_EVENT) ||
                result == static_cast<int32_t>(ERR_UOS_THREAD))
        << UOS_ErrString(result);
    EXPECT_EQ(UOS_ErrnoGet(), static_cast<uint32_t>(result));
}

TEST(AllocationFailure, SignalEntriesFailWithAMemoryError) {
    int32_t result = 0;
    const long initFailures = SweepAllocations([&] { result = UOS_SigInit(nullptr); },
                                               [&](bool failed) {
                                                   if (result == 0) {
                                                       EXPECT_EQ(UOS_SigExit(), 0);
                                                   } else {
                                                       expectMemoryFailure(result, failed);
                                                   }
                                               });
    EXPECT_GT(initFailures, 0);
    ASSERT_EQ(UOS_SigInit(nullptr), 0);
    const long installFailures = SweepAllocations([&] { result = UOS_SigInstall(kCode); },
                                                  [&](bool failed) {
                                                      if (result == 0) {
                                                          EXPECT_EQ(UOS_SigRemove(kCode), 0);
                                                      } else {
                                                          expectMemoryFailure(result, failed);
                                                      }
                                                  });
    EXPECT_GT(installFailures, 0);
    // The session still works: the code installs and goes again.
    EXPECT_EQ(UOS_SigInstall(kCode), 0);
    EXPECT_EQ(UOS_SigRemove(kCode), 0);
    EXPECT_EQ(UOS_SigExit(), 0);
}

} // namespace
