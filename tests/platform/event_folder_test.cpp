#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "event_folder.h"

namespace {

using trax::platform::isSafeBaseFolder;
using trax::platform::openPrivateFolder;

// A scratch folder that is removed with everything in it.
struct Scratch {
    std::string path;
    Scratch() {
        char pattern[] = "/tmp/trax-folder-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~Scratch() { std::system(("rm -rf " + path).c_str()); }
};

TEST(PrivateFolder, IsCreatedPrivateAndRefusedWhenItIsNotPrivateToTheUser) {
    Scratch scratch;
    const std::string open = scratch.path + "/open";
    const std::string file = scratch.path + "/file";
    const std::string link = scratch.path + "/link";
    const std::string foreign = scratch.path + "/foreign";
    const std::string made = scratch.path + "/made";
    ASSERT_EQ(mkdir(open.c_str(), 0755), 0);
    chmod(open.c_str(), 0755);
    ASSERT_EQ(close(creat(file.c_str(), 0600)), 0);
    ASSERT_EQ(symlink(scratch.path.c_str(), link.c_str()), 0);
    ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(foreign.c_str(), 12345, 12345), 0);
    }

    const mode_t mask = umask(0277); // a folder made now must still end up 0700
    const int fd = openPrivateFolder(made, geteuid());
    umask(mask);
    ASSERT_GE(fd, 0);
    close(fd);
    struct stat status;
    ASSERT_EQ(stat(made.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0700u);
    EXPECT_TRUE(isSafeBaseFolder(made.c_str(), geteuid()));

    for (const std::string &bad : {open, file, link}) {
        errno = 0;
        EXPECT_EQ(openPrivateFolder(bad, geteuid()), -1) << bad;
        EXPECT_EQ(errno, EACCES) << bad;
        EXPECT_FALSE(isSafeBaseFolder(bad.c_str(), geteuid())) << bad;
    }
    EXPECT_EQ(openPrivateFolder(foreign, root ? geteuid() : geteuid() + 1), -1)
        << "a folder of another user";
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(openPrivateFolder(scratch.path + "/no/such", geteuid()), -1);
    EXPECT_EQ(errno, ENOENT);
}

} // namespace
