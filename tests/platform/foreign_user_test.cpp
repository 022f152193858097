// Named events against another local account: it must not reach, take or block the names of
// root's processes. The account is made for the test and removed after it, so the tests run
// only as root.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "peer_process.h"
#include "trax_win32.h"

namespace {

// A local account without home or login that exists while the object lives.
class ThrowawayUser {
  public:
    ThrowawayUser() : name_("trxt" + std::to_string(getpid())) {
        const std::string add = "useradd -M -N -s /usr/sbin/nologin " + name_ + " 2>/dev/null";
        if (std::system(add.c_str()) != 0)
            return;
        if (const passwd *entry = getpwnam(name_.c_str()))
            uid_ = entry->pw_uid;
    }
    ~ThrowawayUser() {
        const std::string remove = "userdel " + name_ + " 2>/dev/null";
        if (std::system(remove.c_str()) != 0)
            ADD_FAILURE() << "could not remove the account " << name_;
        rmdir(("/tmp/trax-" + uid()).c_str());
    }
    ThrowawayUser(const ThrowawayUser &) = delete;
    ThrowawayUser &operator=(const ThrowawayUser &) = delete;

    bool exists() const { return uid_ != 0; }
    std::string uid() const { return std::to_string(uid_); }

  private:
    std::string name_;
    uid_t uid_ = 0;
};

class ForeignUser : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0)
            GTEST_SKIP() << "making another account needs root";
        user_ = std::make_unique<ThrowawayUser>();
        if (!user_->exists())
            GTEST_SKIP() << "useradd is not available";
    }

    // Runs the peer as the throwaway user.
    std::unique_ptr<PeerProcess> asStranger(std::vector<std::string> command) {
        command.insert(command.begin(), {"as-user", user_->uid()});
        return std::make_unique<PeerProcess>(command);
    }

    std::unique_ptr<ThrowawayUser> user_;
};

TEST_F(ForeignUser, CannotReachBindOrTakeANameAndRootsSignalsStillArrive) {
    const std::string name = "xtest-" + std::to_string(getpid()) + "-foreign";
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    const std::string path = eventFilePath(name);

    auto write = asStranger({"write-raw", path});
    EXPECT_EQ(write->readLine(), "refused");
    auto create = asStranger({"create-raw", path + "-squat"});
    EXPECT_EQ(create->readLine(), "refused") << "no file of another user in the folder";
    // The stranger's event of the same name is its own, in its own folder: it neither
    // blocks root's name nor receives root's signals.
    auto own = asStranger({"own", name, "1", "300"});
    EXPECT_EQ(own->readLine(), "ready 0");
    PeerProcess rootSender({"set", name});
    EXPECT_EQ(rootSender.readLine(), "existed 1");
    EXPECT_EQ(rootSender.wait(), 0);
    EXPECT_EQ(own->readLine(), "timeout");

    EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0) << "root's signal arrived";
    EXPECT_EQ(WaitForSingleObject(event, 100), WAIT_TIMEOUT) << "and nothing from the stranger";
    CloseHandle(event);
}

// If another user has made the folder first, a process refuses to use it: creating an event
// fails with an error the caller sees instead of signals going astray.
TEST_F(ForeignUser, AFolderPlantedByAnotherUserIsRefusedLoudly) {
    const std::string planted = "/tmp/trax-" + user_->uid();
    ASSERT_EQ(mkdir(planted.c_str(), 0700), 0) << "root plants the stranger's folder";
    auto victim = asStranger({"own", "xtest-planted", "1", "0"});
    EXPECT_EQ(victim->readLine(), "failed " + std::to_string(ERROR_ACCESS_DENIED));
    EXPECT_EQ(victim->wait(), 1) << "CreateEventA failed";
    rmdir(planted.c_str());
}

} // namespace
