// Error texts, and the library's upper-case entry names as callers bind them at run time.
#include <dlfcn.h>

#include <string>

#include "api_test_util.h"
#include "trax_error_text.h"

namespace {

TEST(ErrorStrings, EveryTableEntryHasItsText) {
    char buf[512];
    for (uint32_t i = 0; i < trax_error_table_size(); ++i) {
        const uint32_t code = trax_error_table_code(i);
        const auto signedCode = static_cast<int32_t>(code);
        ASSERT_NE(M_errstring(signedCode), nullptr);
        EXPECT_STREQ(M_errstring(signedCode), trax_error_text(code));
        EXPECT_EQ(M_errstringTs(signedCode, buf), buf);
        EXPECT_STREQ(buf, trax_error_text(code));
    }
}

TEST(ErrorStrings, TheLastErrorOfAFailedCallHasAText) {
    EXPECT_EQ(M_open("no_such_device"), -1);
    EXPECT_STREQ(M_errstring(static_cast<int32_t>(GetLastError())),
                 "ERR_MK_NO_DEVICE: unknown device name");
}

TEST(ErrorStrings, UnknownNumbersShowTheNumber) {
    char buf[512];
    EXPECT_STREQ(M_errstring(0x7fffffff), "unknown error 0x7fffffff");
    EXPECT_STREQ(M_errstringTs(-2, buf), "unknown error 0xfffffffe");
}

// Binds an entry by name as a caller that loads the library at run time does.
template <class F> F entry(void *library, const char *name) {
    void *symbol = dlsym(library, name);
    EXPECT_NE(symbol, nullptr) << name;
    return reinterpret_cast<F>(symbol);
}

TEST(EntryNames, UpperCaseNamesWorkLikeTheFunctions) {
    void *library = dlopen((std::string(TRAX_BIN_DIR) + "/libvelk_trax_api.so").c_str(), RTLD_NOW);
    ASSERT_NE(library, nullptr) << dlerror();
    auto open = entry<int32_t (*)(const char *)>(library, "M_OPEN");
    auto close = entry<int32_t (*)(int32_t)>(library, "M_CLOSE");
    auto read = entry<int32_t (*)(int32_t, int32_t *)>(library, "M_READ");
    auto write = entry<int32_t (*)(int32_t, int32_t)>(library, "M_WRITE");
    auto getstat = entry<int32_t (*)(int32_t, int32_t, int32_t *)>(library, "M_GETSTAT");
    auto setstat = entry<int32_t (*)(int32_t, int32_t, intptr_t)>(library, "M_SETSTAT");
    auto getblock = entry<int32_t (*)(int32_t, uint8_t *, int32_t)>(library, "M_GETBLOCK");
    auto setblock = entry<int32_t (*)(int32_t, const uint8_t *, int32_t)>(library, "M_SETBLOCK");
    auto errstring = entry<char *(*)(int32_t)>(library, "M_ERRSTRING");
    ASSERT_FALSE(HasFailure());

    const int32_t path = open("sim_dio_1");
    ASSERT_GT(path, 0);
    EXPECT_EQ(setstat(path, M_MK_CH_CURRENT, 4), 0);
    EXPECT_EQ(write(path, 1), 0);
    int32_t value = 0;
    EXPECT_EQ(read(path, &value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(getstat(path, M_MK_CH_CURRENT, &value), 0);
    EXPECT_EQ(value, 4);
    uint8_t bytes[4] = {1, 2, 3, 4};
    EXPECT_EQ(setblock(path, bytes, 4), 4);
    uint8_t back[4] = {};
    EXPECT_EQ(getblock(path, back, 4), 4);
    EXPECT_EQ(back[3], 4);
    EXPECT_EQ(close(path), 0);
    EXPECT_EQ(close(path), -1);
    EXPECT_STREQ(errstring(static_cast<int32_t>(GetLastError())),
                 "ERR_MK_ILL_PATH: bad or closed path");
    dlclose(library);
}

} // namespace
