// Expected texts of the traxnt command tests, taken from the framework libraries in this
// process so that the tests follow the libraries' own error texts and dump layout.
#ifndef TRAXNT_TEST_CMDS_EXPECT_H
#define TRAXNT_TEST_CMDS_EXPECT_H

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "trax_api.h"
#include "trax_errors.h"
#include "trax_win32.h"
#include "usr_oss.h"
#include "usr_utl.h"

namespace cmdtest {

/// The error line of a failed device API call with error number errCode.
inline std::string MapiErrLine(uint32_t errCode) {
    return std::string(" \a") + M_errstring(static_cast<int32_t>(errCode)) + "\n";
}

/// The error line of a failed OS-services call with return code errCode.
inline std::string UosErrLine(uint32_t errCode) {
    return std::string(" \a") + UOS_ErrString(static_cast<int32_t>(errCode)) + "\n";
}

/// The error line that a status query on a path that is not open gives.
inline std::string NoPathErrLine() {
    int32_t value = 0;
    EXPECT_LT(M_getstat(-1, M_MK_REV_SIZE, &value), 0);
    return MapiErrLine(UOS_ErrnoGet());
}

/// The error line that an I/O-control request on a path that is not open gives.
inline std::string NoPathIoctlErrLine() {
    DWORD bytes = 0;
    EXPECT_FALSE(DeviceIoControl(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)),
                                 MK_IOCTL_DEVSEM_RELEASE, nullptr, 0, nullptr, 0, &bytes, nullptr));
    return MapiErrLine(GetLastError());
}

/// What UTL_Memdump prints for these bytes.
inline std::string Dump(const char *title, const std::vector<uint8_t> &bytes, uint32_t unit) {
    fflush(stdout);
    testing::internal::CaptureStdout();
    UTL_Memdump(title, reinterpret_cast<const char *>(bytes.data()),
                static_cast<uint32_t>(bytes.size()), unit);
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

constexpr const char *kNoPathWarning = "WARNING: No open device-path!\n";

} // namespace cmdtest

#endif
