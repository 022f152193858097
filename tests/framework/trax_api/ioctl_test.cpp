// I/O control on a path: the device semaphore and the kernel's delay.
#include <atomic>
#include <chrono>
#include <thread>

#include "api_test_util.h"

using apitest::OpenPath;

namespace {

HANDLE handle_of(int32_t path) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(path));
}

BOOL control(int32_t path, DWORD code, int32_t argument) {
    DWORD returned = 99;
    const BOOL ok = DeviceIoControl(handle_of(path), code, &argument, sizeof argument, nullptr, 0,
                                    &returned, nullptr);
    EXPECT_EQ(returned, 0u);
    return ok;
}

BOOL release(int32_t path) {
    DWORD returned = 0;
    return DeviceIoControl(handle_of(path), MK_IOCTL_DEVSEM_RELEASE, nullptr, 0, nullptr, 0,
                           &returned, nullptr);
}

void expect_last_error(uint32_t error) {
    EXPECT_EQ(GetLastError(), error) << M_errstring(static_cast<int32_t>(GetLastError()));
}

TEST(DeviceSemaphore, TwoThreadsOnOnePathContend) {
    OpenPath path("sim_dio_1");
    ASSERT_TRUE(control(path, MK_IOCTL_DEVSEM_WAIT, 0));
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        EXPECT_FALSE(control(path, MK_IOCTL_DEVSEM_WAIT, 100));
        expect_last_error(ERR_MK_DEVSEM_TIMEOUT);
        EXPECT_TRUE(control(path, MK_IOCTL_DEVSEM_WAIT, -1));
        got = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(got);
    EXPECT_TRUE(release(path));
    waiter.join();
    EXPECT_TRUE(got);
    EXPECT_TRUE(release(path));
}

TEST(DeviceSemaphore, IsSharedByThePathsOfOneDevice) {
    OpenPath a("sim_adc_1");
    OpenPath b("sim_adc_1");
    OpenPath other("sim_mt_1");
    ASSERT_TRUE(control(a, MK_IOCTL_DEVSEM_WAIT, 0));
    EXPECT_FALSE(control(b, MK_IOCTL_DEVSEM_WAIT, 0));
    expect_last_error(ERR_MK_DEVSEM_TIMEOUT);
    EXPECT_FALSE(release(b));
    expect_last_error(ERR_MK_DEVSEM_NOT_HELD);
    EXPECT_TRUE(control(other, MK_IOCTL_DEVSEM_WAIT, 0));
    EXPECT_TRUE(release(other));
    EXPECT_TRUE(release(a));
    EXPECT_TRUE(control(b, MK_IOCTL_DEVSEM_WAIT, 0));
    EXPECT_TRUE(release(b));
}

TEST(DeviceSemaphore, ReleasingWhenNotHeldFails) {
    OpenPath path("sim_dio_1");
    EXPECT_FALSE(release(path));
    expect_last_error(ERR_MK_DEVSEM_NOT_HELD);
    ASSERT_TRUE(control(path, MK_IOCTL_DEVSEM_WAIT, 0));
    EXPECT_TRUE(release(path));
    EXPECT_FALSE(release(path));
    expect_last_error(ERR_MK_DEVSEM_NOT_HELD);
}

TEST(DeviceSemaphore, ClosingThePathGivesItBack) {
    const int32_t holder = M_open("sim_dio_1");
    ASSERT_GT(holder, 0);
    ASSERT_TRUE(control(holder, MK_IOCTL_DEVSEM_WAIT, 0));
    OpenPath next("sim_dio_1");
    std::thread waiter([&] { EXPECT_TRUE(control(next, MK_IOCTL_DEVSEM_WAIT, -1)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(M_close(holder), 0);
    waiter.join();
    EXPECT_TRUE(release(next));
}

TEST(DeviceSemaphore, ClosingThePathEndsItsOwnWait) {
    OpenPath holder("sim_adc_1");
    ASSERT_TRUE(control(holder, MK_IOCTL_DEVSEM_WAIT, 0));
    const int32_t waiting = M_open("sim_adc_1");
    ASSERT_GT(waiting, 0);
    std::thread waiter([&] {
        EXPECT_FALSE(control(waiting, MK_IOCTL_DEVSEM_WAIT, -1));
        expect_last_error(ERR_MK_ILL_PATH);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(M_close(waiting), 0);
    waiter.join();
    EXPECT_TRUE(release(holder));
}

TEST(Ioctl, BadRequestsFailWithTheirErrors) {
    OpenPath path("sim_dio_1");
    EXPECT_FALSE(control(path, MK_IOCTL_DEVSEM_WAIT, -2));
    expect_last_error(ERR_MK_ILL_PARAM);
    EXPECT_FALSE(control(path, MK_IOCTL_DELAY, -1));
    expect_last_error(ERR_MK_ILL_PARAM);
    EXPECT_FALSE(control(path, TRAX_CTL_CODE(0x806u), 0));
    expect_last_error(ERR_MK_ILL_IOCTL);
    DWORD returned = 0;
    int16_t tooShort = 5;
    EXPECT_FALSE(DeviceIoControl(handle_of(path), MK_IOCTL_DELAY, &tooShort, sizeof tooShort,
                                 nullptr, 0, &returned, nullptr));
    expect_last_error(ERR_MK_ILL_IOCTL);
    EXPECT_FALSE(DeviceIoControl(handle_of(path), MK_IOCTL_DEVSEM_WAIT, nullptr, 4, nullptr, 0,
                                 &returned, nullptr));
    expect_last_error(ERR_MK_ILL_IOCTL);
}

TEST(Ioctl, ClosedPathsTakeNoRequests) {
    const int32_t path = M_open("sim_dio_1");
    ASSERT_GT(path, 0);
    ASSERT_EQ(M_close(path), 0);
    int32_t ms = 1;
    DWORD returned = 0;
    EXPECT_FALSE(DeviceIoControl(handle_of(path), MK_IOCTL_DELAY, &ms, sizeof ms, nullptr, 0,
                                 &returned, nullptr));
    expect_last_error(ERROR_INVALID_HANDLE);
}

TEST(Ioctl, DelayWaitsAtLeastTheTimeAsked) {
    OpenPath path("sim_dio_1");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(control(path, MK_IOCTL_DELAY, 120));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(120));
    EXPECT_TRUE(control(path, MK_IOCTL_DELAY, 0));
}

} // namespace
