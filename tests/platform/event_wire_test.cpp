#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "event_wire.h"

namespace {

using trax::platform::acceptWakeup;
using trax::platform::eventFileName;
using trax::platform::makeEventAddress;

// A received datagram as recvmsg would hand it over, built by hand.
struct FakeDatagram {
    uint64_t payload = 0;
    iovec data{&payload, sizeof payload};
    alignas(cmsghdr) char control[trax::platform::kWakeupControlSize * 2] = {};
    msghdr message{};

    explicit FakeDatagram(uint64_t sent) : payload(sent) {
        message.msg_iov = &data;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = 0;
    }

    void addCredentials(uid_t uid) {
        message.msg_controllen += CMSG_SPACE(sizeof(ucred));
        cmsghdr *c = CMSG_FIRSTHDR(&message);
        while (CMSG_NXTHDR(&message, c) != nullptr)
            c = CMSG_NXTHDR(&message, c);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_CREDENTIALS;
        c->cmsg_len = CMSG_LEN(sizeof(ucred));
        ucred credentials{1234, uid, 0};
        std::memcpy(CMSG_DATA(c), &credentials, sizeof credentials);
    }
};

TEST(WakeupFilter, AcceptsADatagramOfTheOwnerAndReturnsItsSendTime) {
    FakeDatagram datagram(987654321);
    datagram.addCredentials(1000);
    const auto sent = acceptWakeup(datagram.message, 8, 1000);
    ASSERT_TRUE(sent.has_value());
    EXPECT_EQ(*sent, 987654321u);
}

TEST(WakeupFilter, DropsDatagramsOfAnotherUser) {
    FakeDatagram datagram(1);
    datagram.addCredentials(1001);
    EXPECT_FALSE(acceptWakeup(datagram.message, 8, 1000).has_value());
    EXPECT_FALSE(acceptWakeup(datagram.message, 8, 0).has_value()) << "root is another user too";
}

TEST(WakeupFilter, DropsDatagramsWithoutCredentials) {
    FakeDatagram datagram(1);
    EXPECT_FALSE(acceptWakeup(datagram.message, 8, 1000).has_value());
}

TEST(WakeupFilter, DropsDatagramsThatClaimTwoSenders) {
    FakeDatagram datagram(1);
    datagram.addCredentials(1000);
    datagram.addCredentials(1001);
    EXPECT_FALSE(acceptWakeup(datagram.message, 8, 1000).has_value());
}

TEST(WakeupFilter, DropsMalformedAndTruncatedDatagrams) {
    FakeDatagram datagram(1);
    datagram.addCredentials(1000);
    EXPECT_FALSE(acceptWakeup(datagram.message, 7, 1000).has_value());
    EXPECT_FALSE(acceptWakeup(datagram.message, 9, 1000).has_value());
    EXPECT_FALSE(acceptWakeup(datagram.message, 0, 1000).has_value());
    datagram.message.msg_flags = MSG_TRUNC;
    EXPECT_FALSE(acceptWakeup(datagram.message, 8, 1000).has_value());
    datagram.message.msg_flags = MSG_CTRUNC;
    EXPECT_FALSE(acceptWakeup(datagram.message, 8, 1000).has_value());
}

TEST(EventAddress, NamesBecomeFilesThatCannotLeaveTheFolder) {
    const std::string longA(200, 'a');
    std::string longB = longA;
    longB.back() = 'b';
    struct Case {
        std::string name;
        bool readable;
    } cases[] = {{"4711SigEvt257", true}, {"..", true}, {"../x", false},
                 {"a/b", false},          {"/", false}, {longA, false},
                 {longB, false}};
    for (const Case &c : cases) {
        const std::string file = eventFileName(c.name, 100);
        EXPECT_EQ(file.find('/'), std::string::npos) << c.name;
        EXPECT_EQ(file == "evt-" + c.name, c.readable) << c.name;
        EXPECT_EQ(file.rfind(c.readable ? "evt-" : "evh-", 0), 0u) << c.name;
        EXPECT_LE(file.size(), c.readable ? 100 : trax::platform::kMaxHashedFileName);
    }
    EXPECT_NE(eventFileName(longA, 100), eventFileName(longB, 100));
    EXPECT_EQ(eventFileName(longA, 100), eventFileName(longA, 100)) << "the hash is stable";
    EXPECT_NE(eventFileName("abcdef", 8), "evt-abcdef") << "a name that does not fit is hashed";
}

TEST(EventAddress, AShortNameCannotImitateAHashedOne) {
    const std::string hashed = eventFileName(std::string(150, 'n'), 100);
    EXPECT_NE(eventFileName(hashed.substr(4), 100), hashed);
}

TEST(EventAddress, IsAPathInTheFolderOrNothingWhenTheFolderIsTooLong) {
    sockaddr_un address;
    const socklen_t length = makeEventAddress("/tmp/trax-7", std::string(200, 'x'), address);
    ASSERT_GT(length, 0u);
    EXPECT_LE(length, sizeof address);
    EXPECT_EQ(std::string(address.sun_path).rfind("/tmp/trax-7/evh-", 0), 0u);
    EXPECT_STREQ(address.sun_path + length - offsetof(sockaddr_un, sun_path) - 1, "");
    EXPECT_EQ(makeEventAddress("/tmp/trax-7", "1SigEvt101", address),
              offsetof(sockaddr_un, sun_path) + sizeof "/tmp/trax-7/evt-1SigEvt101");
    EXPECT_EQ(makeEventAddress(std::string(80, 'f'), "x", address), 0u);
}

} // namespace
