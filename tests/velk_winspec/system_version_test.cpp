// WINSPEC_ConvDevName on the version that Windows itself reports, with no emulated version
// set. The Windows build runs this test twice under Wine, which reports Windows NT 4.0 to
// velk_winspec_nt4_test.exe and Windows 2000 to velk_winspec_w2k_test.exe
// (cmake/wine-run.sh); TRAX_EXPECTED_MAJOR says which of the two this program is.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "load_conv_dev_name.h"
#include "trax_win32.h"

namespace {

int CountBoxes(LPCSTR caption, LPCSTR text, UINT type, void *context) {
    const bool expected = std::string(caption) == "velk_winspec.dll" && type == 0x1010u &&
                          std::strstr(text, "Please use the W2K version") != nullptr;
    *static_cast<int *>(context) += expected ? 1 : 100;
    return IDOK;
}

TEST(ConvDevNameOnTheSystemVersion, OnlyWindowsNt4GetsTheDeviceName) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ASSERT_TRUE(GetVersionExA(&info));
    ASSERT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    ASSERT_EQ(info.dwMajorVersion, static_cast<DWORD>(TRAX_EXPECTED_MAJOR))
        << "the system reports another version than this test was made for";

    WinspecLibrary library;
    ASSERT_NE(library.convert(), nullptr) << library.error();
    int boxes = 0;
    TraxSetMessageBoxHook(&CountBoxes, &boxes);
    char dest[32];
    std::memset(dest, '#', sizeof dest);
    SetLastError(0);
    const int32_t result = library.convert()("sim_dio_1", dest);
    TraxSetMessageBoxHook(nullptr, nullptr);
    if (TRAX_EXPECTED_MAJOR == 4) {
        EXPECT_EQ(result, 17);
        EXPECT_STREQ(dest, "\\\\.\\sim_dio_1");
        EXPECT_EQ(boxes, 0);
    } else {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_ENVIRONMENT));
        EXPECT_EQ(dest[0], '#');
        EXPECT_EQ(boxes, 1);
    }
}

} // namespace
