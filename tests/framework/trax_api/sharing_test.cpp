// Simulated devices shared by the processes of a user: values, the device semaphore, crash
// safety, descriptions that differ, and other users. Each test uses a device name of its
// own, so tests running in parallel never meet.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "peer_process.h"
#include "sim_user.h"
#include "trax_api.h"
#include "trax_codes.h"
#include "trax_errors.h"
#include "trax_win32.h"

namespace {

const std::string kUser = TRAX_BIN_DIR "/trax_sim_user";
const std::vector<std::string> kShared = {"TRAX_SIM_SHARING=user"};

class SharedDevice : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { setenv("TRAX_SIM_SHARING", "user", 1); }

    void SetUp() override {
        name_ = "shr" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        name_.resize(std::min<size_t>(name_.size(), 39));
        AddSharedTestDevice(name_);
    }

    /// A trax_sim_user process on this test's device running the steps.
    std::unique_ptr<PeerProcess> user(std::vector<std::string> steps,
                                      std::vector<std::string> environment = kShared) {
        steps.insert(steps.begin(), name_);
        return std::make_unique<PeerProcess>(steps, environment, kUser);
    }

    /// True if any file of this device's state is in /dev/shm.
    bool stateIsInShm() const {
        DIR *dir = opendir("/dev/shm");
        bool found = false;
        while (dirent *entry = dir != nullptr ? readdir(dir) : nullptr)
            found = found || std::string(entry->d_name).find(name_) != std::string::npos;
        if (dir != nullptr)
            closedir(dir);
        return found;
    }

    static uint32_t semaphore(int32_t path, DWORD code, int32_t ms = 0) {
        HANDLE handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(path));
        return DeviceIoControl(handle, code, &ms, sizeof ms, nullptr, 0, nullptr, nullptr)
                   ? 0
                   : GetLastError();
    }

    std::string name_;
};

TEST_F(SharedDevice, AValueWrittenByOneProcessIsReadByAnother) {
    auto writer = user({"open", "write:4711", "pause"});
    ASSERT_EQ(writer->readLine(), "open 0");
    ASSERT_EQ(writer->readLine(), "write 0");
    const int32_t path = M_open(name_.c_str());
    ASSERT_GT(path, 0);
    int32_t value = 0;
    EXPECT_EQ(M_read(path, &value), 0);
    EXPECT_EQ(value, 4711);
    EXPECT_EQ(M_write(path, -5), 0);
    auto reader = user({"open", "read"});
    EXPECT_EQ(reader->readLine(), "open 0");
    EXPECT_EQ(reader->readLine(), "read -5");

    writer->kill();
    EXPECT_EQ(M_close(path), 0);
    EXPECT_EQ(reader->wait(), 0);
    EXPECT_FALSE(stateIsInShm()) << "the last process to close removes the state";
}

TEST_F(SharedDevice, AWaiterGetsTheSemaphoreWhenTheHolderReleasesItOrIsKilled) {
    const int32_t path = M_open(name_.c_str());
    ASSERT_GT(path, 0);
    ASSERT_EQ(semaphore(path, MK_IOCTL_DEVSEM_WAIT, 0), 0u);
    auto waiter = user({"open", "take:-1", "pause"});
    EXPECT_EQ(waiter->readLine(), "open 0");
    EXPECT_EQ(waiter->readLine(200), "<timeout>") << "it waits while this process holds it";
    EXPECT_EQ(semaphore(path, MK_IOCTL_DEVSEM_RELEASE), 0u);
    EXPECT_EQ(waiter->readLine(), "take 0");
    EXPECT_EQ(semaphore(path, MK_IOCTL_DEVSEM_WAIT, 0), ERR_MK_DEVSEM_TIMEOUT);

    auto next = user({"open", "take:-1"});
    EXPECT_EQ(next->readLine(), "open 0");
    EXPECT_EQ(next->readLine(200), "<timeout>") << "it waits while the first one holds it";
    waiter->kill();
    EXPECT_EQ(next->readLine(), "take 0") << "the holder's death frees it";
    EXPECT_EQ(next->wait(), 0);
    EXPECT_EQ(semaphore(path, MK_IOCTL_DEVSEM_WAIT, 5000), 0u) << "so did the second one's end";
    EXPECT_EQ(M_close(path), 0);
}

TEST_F(SharedDevice, AnotherDescriptionOfTheSameNameIsRefusedClearly) {
    const int32_t path = M_open(name_.c_str());
    ASSERT_GT(path, 0);
    EXPECT_EQ(M_write(path, 9), 0);
    auto other = user({"variant", "open"});
    EXPECT_EQ(other->readLine(), "open e00e110d");
    int32_t value = 0;
    EXPECT_EQ(M_read(path, &value), 0);
    EXPECT_EQ(value, 9) << "the state is untouched";
    EXPECT_EQ(M_close(path), 0);

    auto alone = user({"variant", "open", "read"});
    EXPECT_EQ(alone->readLine(), "open 0") << "once nobody uses the old state";
    EXPECT_EQ(alone->readLine(), "read 0");
}

TEST_F(SharedDevice, ProcessesKilledAtRandomMomentsLeaveTheDeviceUsableAndNothingBehind) {
    constexpr int kProcesses = 200;
    constexpr int kAtOnce = 8;
    std::mt19937 random(static_cast<unsigned>(getpid()));
    std::vector<std::unique_ptr<PeerProcess>> running;
    for (int started = 0; started < kProcesses; ++started) {
        running.push_back(user({"open", "storm"}));
        if (running.size() < kAtOnce)
            continue;
        const size_t victim = random() % running.size();
        for (auto lines = random() % 40; lines > 0; --lines)
            running[victim]->readLine();
        running[victim]->kill();
        running.erase(running.begin() + static_cast<ptrdiff_t>(victim));
    }
    for (auto &process : running)
        process->kill();
    const int32_t path = M_open(name_.c_str());
    ASSERT_GT(path, 0);
    EXPECT_EQ(semaphore(path, MK_IOCTL_DEVSEM_WAIT, 5000), 0u);
    uint32_t counter = 0;
    EXPECT_EQ(M_getblock(path, reinterpret_cast<uint8_t *>(&counter), 4), 4);
    EXPECT_EQ(semaphore(path, MK_IOCTL_DEVSEM_RELEASE), 0u);
    EXPECT_EQ(M_close(path), 0);
    EXPECT_FALSE(stateIsInShm());
}

TEST_F(SharedDevice, AnotherUserCannotOpenTheState) {
    if (geteuid() != 0)
        GTEST_SKIP() << "a throwaway account needs root";
    const std::string account = "traxt" + std::to_string(getpid());
    ASSERT_EQ(std::system(("useradd --system --no-create-home --shell /usr/sbin/nologin " +
                           account + " 2>/dev/null")
                              .c_str()),
              0);
    struct RemoveAccount {
        std::string name;
        ~RemoveAccount() {
            [[maybe_unused]] const int status = std::system(("userdel " + name).c_str());
        }
    } removeAccount{account};
    const std::string uid = [&] {
        FILE *id = popen(("id -u " + account).c_str(), "r");
        char text[32] = "";
        if (id != nullptr && std::fgets(text, sizeof text, id) == nullptr)
            text[0] = '\0';
        if (id != nullptr)
            pclose(id);
        return std::string(text, strcspn(text, "\n"));
    }();
    const int32_t path = M_open(name_.c_str());
    ASSERT_GT(path, 0);
    EXPECT_EQ(M_write(path, 77), 0);
    auto stranger = user({"as-uid:" + uid, "open", "read"});
    EXPECT_EQ(stranger->readLine(), "open 0");
    EXPECT_EQ(stranger->readLine(), "read 0") << "it gets a device of its own, not ours";
    EXPECT_EQ(stranger->wait(), 0);
    const std::string ours =
        "/dev/shm/trax-" + std::to_string(geteuid()) + "-map-trax-sim-" + name_;
    PeerProcess opener({"as-user", uid, "open-file", ours});
    EXPECT_EQ(opener.readLine(), "refused");
    EXPECT_EQ(M_close(path), 0);
}

TEST_F(SharedDevice, AStateFileOfAnotherOwnerIsRefused) {
    if (geteuid() != 0)
        GTEST_SKIP() << "a file of another owner needs root";
    const std::string planted =
        "/dev/shm/trax-" + std::to_string(geteuid()) + "-map-trax-sim-" + name_;
    const int fd = open(planted.c_str(), O_CREAT | O_EXCL | O_RDWR, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(fchown(fd, 65534, 65534), 0);
    close(fd);
    EXPECT_EQ(M_open(name_.c_str()), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    unlink(planted.c_str());
    const int32_t path = M_open(name_.c_str());
    EXPECT_GT(path, 0) << "once the planted file is gone";
    M_close(path);
}

TEST(PrivateDevices, AreNotSharedWithTheProcessesStarted) {
    const std::string name = "prv" + std::to_string(getpid());
    auto user =
        std::make_unique<PeerProcess>(std::vector<std::string>{name, "open", "write:3", "pause"},
                                      std::vector<std::string>{"TRAX_SIM_SHARING=process"}, kUser);
    ASSERT_EQ(user->readLine(), "open 0");
    ASSERT_EQ(user->readLine(), "write 0");
    auto reader =
        std::make_unique<PeerProcess>(std::vector<std::string>{name, "open", "read"},
                                      std::vector<std::string>{"TRAX_SIM_SHARING=process"}, kUser);
    EXPECT_EQ(reader->readLine(), "open 0");
    EXPECT_EQ(reader->readLine(), "read 0");
    user->kill();
}

} // namespace
