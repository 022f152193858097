#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "trax_win32.h"

namespace {

OSVERSIONINFOA queryVersion(BOOL &ok) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    ok = GetVersionExA(&info);
    return info;
}

class Version : public ::testing::Test {
  protected:
    void TearDown() override {
        TraxSetEmulatedVersion(nullptr);
        TraxSetVersionQueryFails(FALSE);
    }
};

TEST_F(Version, DefaultIsWindowsNt4ServicePack6) {
    BOOL ok = FALSE;
    const OSVERSIONINFOA info = queryVersion(ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_EQ(info.dwMajorVersion, 4u);
    EXPECT_EQ(info.dwMinorVersion, 0u);
    EXPECT_EQ(info.dwBuildNumber, 1381u);
    EXPECT_STREQ(info.szCSDVersion, "Service Pack 6");
    EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
}

TEST_F(Version, RequiresTheRecordSizeToBeSet) {
    for (DWORD size : {0u, 147u, 149u, 156u}) {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = size;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExA(&info)) << size;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        EXPECT_EQ(info.dwMajorVersion, 0u) << "nothing written";
    }
    EXPECT_FALSE(GetVersionExA(nullptr));
}

TEST_F(Version, EmulatedVersionAndFailureCanBeSwitched) {
    OSVERSIONINFOA win98{};
    win98.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    win98.dwMajorVersion = 4;
    win98.dwMinorVersion = 10;
    win98.dwBuildNumber = 1998;
    TraxSetEmulatedVersion(&win98);
    BOOL ok = FALSE;
    OSVERSIONINFOA info = queryVersion(ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_WINDOWS));
    EXPECT_EQ(info.dwMinorVersion, 10u);
    EXPECT_EQ(info.dwOSVersionInfoSize, 148u) << "the caller's size field is kept valid";

    TraxSetVersionQueryFails(TRUE);
    SetLastError(0);
    queryVersion(ok);
    EXPECT_FALSE(ok);
    EXPECT_NE(GetLastError(), 0u);
    TraxSetVersionQueryFails(FALSE);

    TraxSetEmulatedVersion(nullptr);
    info = queryVersion(ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(info.dwBuildNumber, 1381u) << "null restores the start-up version";
}

struct CapturedBox {
    std::string caption, text;
    UINT type = 0;
    int calls = 0;
};

int captureBox(LPCSTR caption, LPCSTR text, UINT type, void *context) {
    auto *box = static_cast<CapturedBox *>(context);
    box->caption = caption;
    box->text = text;
    box->type = type;
    ++box->calls;
    return 42;
}

TEST(MessageBox, WritesOneLineToStandardErrorByDefault) {
    ::testing::internal::CaptureStderr();
    const int answer = MessageBoxA(nullptr, "Disk not found", "velk", MB_OK | MB_ICONERROR);
    const std::string written = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(written, "velk: Disk not found\n");
}

TEST(MessageBox, AHookReplacesTheOutputUntilRemoved) {
    CapturedBox box;
    TraxSetMessageBoxHook(captureBox, &box);
    EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", MB_SYSTEMMODAL), 42);
    EXPECT_EQ(box.caption, "caption");
    EXPECT_EQ(box.text, "text");
    EXPECT_EQ(box.type, static_cast<UINT>(MB_SYSTEMMODAL));
    EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), 42) << "null texts do not crash";
    EXPECT_EQ(box.text, "");
    TraxSetMessageBoxHook(nullptr, nullptr);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "after", "box", MB_OK), IDOK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "box: after\n");
    EXPECT_EQ(box.calls, 2);
}

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(TraxRegistrySetString(HKEY_LOCAL_MACHINE, "Software\\Maker\\Tool", "Path",
                                        "C:\\tools\\info.exe"),
                  ERROR_SUCCESS);
    }
    void TearDown() override { TraxRegistryClear(); }
};

TEST_F(Registry, IsEmptyUntilFilled) {
    TraxRegistryClear();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Maker\\Tool", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
}

TEST_F(Registry, ReadsAFilledValueWithAnySpellingOfTheKey) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\maker\\TOOL", 0, 0x2003F, &key),
              ERROR_SUCCESS);
    char data[1024];
    DWORD size = sizeof data;
    DWORD type = REG_NONE;
    EXPECT_EQ(RegQueryValueExA(key, "path", nullptr, &type, reinterpret_cast<LPBYTE>(data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(data, "C:\\tools\\info.exe");
    EXPECT_EQ(size, std::strlen("C:\\tools\\info.exe") + 1);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_NE(RegCloseKey(key), ERROR_SUCCESS) << "closing twice fails";
}

TEST_F(Registry, ReportsMissingKeysValuesAndSmallBuffers) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Maker\\Tool", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Mak", 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND)
        << "a prefix of a name is not a key";
    ASSERT_EQ(TraxRegistrySetString(HKEY_LOCAL_MACHINE, "Software\\Maker-Old", "v", "x"),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Maker", 0, KEY_READ, &key),
              ERROR_SUCCESS)
        << "a parent key exists, even next to a sibling that sorts first";
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Maker\\Tool", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    const DWORD needed = static_cast<DWORD>(std::strlen("C:\\tools\\info.exe") + 1);
    EXPECT_EQ(RegQueryValueExA(key, "Path", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, needed) << "no buffer: just the size";
    char small[4] = {'x', 'x', 'x', 'x'};
    size = sizeof small;
    EXPECT_EQ(
        RegQueryValueExA(key, "Path", nullptr, nullptr, reinterpret_cast<LPBYTE>(small), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, needed);
    EXPECT_EQ(small[0], 'x') << "nothing written into a buffer that is too small";
    EXPECT_EQ(
        RegQueryValueExA(key, "Path", nullptr, nullptr, reinterpret_cast<LPBYTE>(small), nullptr),
        ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "Other", nullptr, nullptr, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(Registry, BadKeysAndArgumentsFail) {
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(reinterpret_cast<HKEY>(uintptr_t{12345}), "x", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_NE(RegQueryValueExA(nullptr, "Path", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_NE(RegCloseKey(reinterpret_cast<HKEY>(uintptr_t{777777})), ERROR_SUCCESS);
    EXPECT_EQ(TraxRegistrySetString(HKEY_LOCAL_MACHINE, "a", "b", nullptr),
              ERROR_INVALID_PARAMETER);
}

TEST(Beep, AcceptsAudibleTonesAndRefusesOthers) {
    EXPECT_TRUE(Beep(750, 0));
    EXPECT_TRUE(Beep(37, 1));
    EXPECT_TRUE(Beep(32767, 1));
    for (DWORD frequency : {0u, 36u, 32768u, 0xFFFFFFFFu}) {
        SetLastError(0);
        EXPECT_FALSE(Beep(frequency, 10)) << frequency;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

TEST(Beep, LastsAsLongAsTheTone) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Beep(750, 250));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST(Strings, LengthAndOverlappingMove) {
    EXPECT_EQ(lstrlenA(nullptr), 0);
    EXPECT_EQ(lstrlenA(""), 0);
    EXPECT_EQ(lstrlenA("velk"), 4);
    char text[] = "abcdef";
    RtlMoveMemory(text + 2, text, 4);
    EXPECT_STREQ(text, "ababcd");
    RtlMoveMemory(nullptr, nullptr, 0);
}

} // namespace
