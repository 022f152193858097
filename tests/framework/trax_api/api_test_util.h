// Helpers for tests that drive the device API through its C interface.
#ifndef TRAX_API_TEST_UTIL_H
#define TRAX_API_TEST_UTIL_H

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "trax_api.h"
#include "trax_errors.h"
#include "trax_win32.h"

namespace apitest {

inline const std::vector<std::string> &builtin_names() {
    static const std::vector<std::string> names = {"sim_dio_1", "sim_adc_1", "sim_mt_1",
                                                   "sim_fault_1"};
    return names;
}

/// Checks that a call failed with -1 and left err as the thread's last error.
#define EXPECT_FAILS_WITH(call, err)                                                               \
    do {                                                                                           \
        SetLastError(0);                                                                           \
        EXPECT_EQ((call), -1);                                                                     \
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(err))                                         \
            << M_errstring(static_cast<int32_t>(GetLastError()));                                  \
    } while (0)

/// A path opened for one test and closed at its end (a device whose close fails keeps
/// it open: such tests close nothing).
class OpenPath {
  public:
    explicit OpenPath(const std::string &name) : path_(M_open(name.c_str())) {
        EXPECT_GT(path_, 0) << name << ": " << M_errstring(static_cast<int32_t>(GetLastError()));
    }
    ~OpenPath() {
        if (path_ > 0) {
            M_close(path_);
        }
    }
    OpenPath(const OpenPath &) = delete;
    OpenPath &operator=(const OpenPath &) = delete;
    operator int32_t() const { return path_; }

  private:
    int32_t path_;
};

/// Value of a standard status code; fails the test if the call fails.
inline int32_t get_value(int32_t path, int32_t code) {
    int32_t value = 0;
    EXPECT_EQ(M_getstat(path, code, &value), 0)
        << std::hex << code << ": " << M_errstring(static_cast<int32_t>(GetLastError()));
    return value;
}

/// A block status code read into a buffer of the given size; the buffer is cut to the
/// size the call delivered.
inline std::vector<uint8_t> get_block_code(int32_t path, int32_t code, int32_t size) {
    std::vector<uint8_t> data(static_cast<std::size_t>(size) + 8, 0xEE);
    M_SG_BLOCK block{size, data.data()};
    EXPECT_EQ(M_getstat(path, code, reinterpret_cast<int32_t *>(&block)), 0)
        << std::hex << code << ": " << M_errstring(static_cast<int32_t>(GetLastError()));
    EXPECT_GE(block.size, 0);
    EXPECT_LE(block.size, size);
    for (std::size_t i = static_cast<std::size_t>(size); i < data.size(); ++i) {
        EXPECT_EQ(data[i], 0xEE) << "written beyond the block at " << i;
    }
    data.resize(static_cast<std::size_t>(std::max(block.size, 0)));
    return data;
}

inline std::string get_text(int32_t path, int32_t code, int32_t size = 40) {
    std::vector<uint8_t> data = get_block_code(path, code, size);
    data.push_back(0);
    return std::string(reinterpret_cast<const char *>(data.data()));
}

} // namespace apitest

#endif
