// WINSPEC_ConvDevName as its outside caller sees it: the library is loaded by name at run
// time and the function found by its export name; the emulated Windows version and the
// message boxes are steered and captured through the platform layer.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "load_conv_dev_name.h"
#include "trax_win32.h"

namespace {

constexpr char kWrongVersionText[] =
    "You are using the wrong version of the velk_winspec.dll! Please use the W2K version "
    "instead of the NT4 version.";
constexpr char kUnsupportedText[] = "Unsupported Windows Version!";
constexpr DWORD kUntouchedLastError = 0x4711;

/// One message box as the library asked for it.
struct ShownBox {
    std::string caption;
    std::string text;
    UINT type;
};

/// Collects the boxes shown, from any thread.
class BoxRecorder {
  public:
    static int Hook(LPCSTR caption, LPCSTR text, UINT type, void *context) {
        auto *self = static_cast<BoxRecorder *>(context);
        std::lock_guard lock(self->mutex_);
        self->boxes_.push_back({caption ? caption : "", text ? text : "", type});
        return IDOK;
    }
    std::vector<ShownBox> Boxes() {
        std::lock_guard lock(mutex_);
        return boxes_;
    }

  private:
    std::mutex mutex_;
    std::vector<ShownBox> boxes_;
};

OSVERSIONINFOA Version(DWORD platform, DWORD major, DWORD minor) {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = platform;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    info.dwBuildNumber = 1381;
    return info;
}

class ConvDevNameTest : public ::testing::Test {
  protected:
    void SetUp() override {
        convert_ = library_.convert();
        ASSERT_NE(convert_, nullptr) << library_.error();
        TraxSetMessageBoxHook(&BoxRecorder::Hook, &recorder_);
    }
    void TearDown() override {
        TraxSetMessageBoxHook(nullptr, nullptr);
        TraxSetEmulatedVersion(nullptr);
        TraxSetVersionQueryFails(FALSE);
    }
    void RunOn(DWORD platform, DWORD major, DWORD minor) {
        const OSVERSIONINFOA info = Version(platform, major, minor);
        TraxSetEmulatedVersion(&info);
    }
    /// Calls the function on a destination full of '#' and checks that a refused call
    /// sets last error 10, returns 0 and leaves the destination alone.
    void ExpectRefused(const char *name) {
        char dest[64];
        memset(dest, '#', sizeof dest);
        SetLastError(kUntouchedLastError);
        EXPECT_EQ(convert_(name, dest), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_ENVIRONMENT));
        EXPECT_EQ(std::string(dest, sizeof dest), std::string(sizeof dest, '#'));
    }
    /// Expects exactly `count` boxes, all with the library's title, style and `text`.
    void ExpectBoxes(size_t count, const char *text) {
        const std::vector<ShownBox> boxes = recorder_.Boxes();
        ASSERT_EQ(boxes.size(), count);
        for (const ShownBox &box : boxes) {
            EXPECT_EQ(box.caption, "velk_winspec.dll");
            EXPECT_EQ(box.text, text);
            EXPECT_EQ(box.type, 0x1010u);
        }
    }

    WinspecLibrary library_;
    ConvDevNameFn convert_ = nullptr;
    BoxRecorder recorder_;
};

// --- Windows NT 4.0: the name gets the device-namespace prefix ---

TEST_F(ConvDevNameTest, Nt4PrefixesANameAndKeepsTheLastError) {
    RunOn(VER_PLATFORM_WIN32_NT, 4, 0);
    char dest[64];
    memset(dest, '#', sizeof dest);
    SetLastError(kUntouchedLastError);
    EXPECT_EQ(convert_("sim_dio_1", dest), 17);
    EXPECT_STREQ(dest, "\\\\.\\sim_dio_1");
    EXPECT_EQ(dest[strlen("\\\\.\\sim_dio_1") + 1], '#') << "wrote past the terminating zero";
    EXPECT_EQ(GetLastError(), kUntouchedLastError);
    ExpectBoxes(0, "");
}

TEST_F(ConvDevNameTest, Nt4EmptyNameGivesThePrefixAlone) {
    RunOn(VER_PLATFORM_WIN32_NT, 4, 0);
    char dest[16];
    memset(dest, '#', sizeof dest);
    EXPECT_EQ(convert_("", dest), 17);
    EXPECT_EQ(std::string(dest, 6), std::string("\\\\.\\\0#", 6));
}

TEST_F(ConvDevNameTest, Nt4NameWithThePrefixGetsItTwiceAndIsOtherwiseUnchanged) {
    RunOn(VER_PLATFORM_WIN32_NT, 4, 0);
    char dest[64];
    EXPECT_EQ(convert_("\\\\.\\A b/c:\\d\x7f\xff", dest), 17);
    EXPECT_STREQ(dest, "\\\\.\\\\\\.\\A b/c:\\d\x7f\xff");
}

TEST_F(ConvDevNameTest, Nt4AnyMinorVersionPasses) {
    for (DWORD minor : {0u, 1u, 10u, 0xffffffffu}) {
        RunOn(VER_PLATFORM_WIN32_NT, 4, minor);
        char dest[32];
        EXPECT_EQ(convert_("x", dest), 17) << "minor " << minor;
        EXPECT_STREQ(dest, "\\\\.\\x");
    }
}

TEST_F(ConvDevNameTest, LongNameIsCopiedWhole) {
    RunOn(VER_PLATFORM_WIN32_NT, 4, 0);
    const std::string name(4000, 'n');
    std::vector<char> dest(name.size() + 5);
    EXPECT_EQ(convert_(name.c_str(), dest.data()), 17);
    EXPECT_EQ(std::string(dest.data()), "\\\\.\\" + name);
}

// --- Every other system: refused with its message box ---

TEST_F(ConvDevNameTest, LaterNtVersionsShowTheWrongVersionBox) {
    const DWORD versions[][2] = {{5, 0}, {5, 1}, {6, 1}, {10, 0}};
    for (const auto &version : versions) {
        RunOn(VER_PLATFORM_WIN32_NT, version[0], version[1]);
        ExpectRefused("sim_dio_1");
    }
    ExpectBoxes(4, kWrongVersionText);
}

TEST_F(ConvDevNameTest, Nt3ShowsTheWrongVersionBox) {
    RunOn(VER_PLATFORM_WIN32_NT, 3, 51);
    ExpectRefused("sim_dio_1");
    ExpectBoxes(1, kWrongVersionText);
}

TEST_F(ConvDevNameTest, NonNtPlatformsShowTheUnsupportedBoxWhateverTheirVersion) {
    RunOn(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
    ExpectRefused("sim_dio_1");
    RunOn(VER_PLATFORM_WIN32s, 3, 1);
    ExpectRefused("");
    RunOn(3, 4, 0);
    ExpectRefused("sim_dio_1");
    ExpectBoxes(3, kUnsupportedText);
}

TEST_F(ConvDevNameTest, FailingVersionQueryIsRefusedWithoutABox) {
    TraxSetVersionQueryFails(TRUE);
    ExpectRefused("sim_dio_1");
    ExpectBoxes(0, "");
}

TEST_F(ConvDevNameTest, EachCallChecksTheVersionAnew) {
    RunOn(VER_PLATFORM_WIN32_NT, 5, 0);
    ExpectRefused("a");
    RunOn(VER_PLATFORM_WIN32_NT, 4, 0);
    char dest[16];
    EXPECT_EQ(convert_("a", dest), 17);
    RunOn(VER_PLATFORM_WIN32_NT, 5, 0);
    ExpectRefused("a");
    ExpectBoxes(2, kWrongVersionText);
}

// --- Many callers at once ---

constexpr int kThreads = 16;
constexpr int kCallsPerThread = 1000;

/// Runs `call(thread, index)` kThreads x kCallsPerThread times on kThreads threads and
/// returns how many calls returned what `check` accepted.
template <typename Call> int CallFromManyThreads(Call call) {
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &call, &good] {
            for (int i = 0; i < kCallsPerThread; ++i)
                if (call(t, i))
                    good.fetch_add(1, std::memory_order_relaxed);
        });
    for (std::thread &thread : threads)
        thread.join();
    return good.load();
}

TEST_F(ConvDevNameTest, ManyThreadsConvertTheirOwnNames) {
    RunOn(VER_PLATFORM_WIN32_NT, 4, 0);
    const int good = CallFromManyThreads([this](int thread, int index) {
        const std::string name = "dev_" + std::to_string(thread) + "_" + std::to_string(index);
        char dest[64];
        return convert_(name.c_str(), dest) == 17 && "\\\\.\\" + name == dest;
    });
    EXPECT_EQ(good, kThreads * kCallsPerThread);
    ExpectBoxes(0, "");
}

TEST_F(ConvDevNameTest, ManyThreadsRefusedEachShowItsOwnBox) {
    RunOn(VER_PLATFORM_WIN32_NT, 5, 0);
    const int good = CallFromManyThreads([this](int, int) {
        char dest[8] = "#######";
        SetLastError(0);
        return convert_("x", dest) == 0 && GetLastError() == ERROR_BAD_ENVIRONMENT &&
               strcmp(dest, "#######") == 0;
    });
    EXPECT_EQ(good, kThreads * kCallsPerThread);
    ExpectBoxes(kThreads * kCallsPerThread, kWrongVersionText);
}

} // namespace
