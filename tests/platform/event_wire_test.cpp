#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "event_wire.h"

namespace {

using trax::platform::acceptWakeup;
using trax::platform::eventAddressName;
using trax::platform::makeEventAddress;

/* A received datagram as recvmsg would hand it over, built by hand. */
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

TEST(EventAddress, ShortNamesAreReadableAndCarryTheUser) {
    EXPECT_EQ(eventAddressName(1000, "4711SigEvt257"), "trax-evt-1000-4711SigEvt257");
    EXPECT_NE(eventAddressName(1000, "x"), eventAddressName(1001, "x"));
}

TEST(EventAddress, LongNamesAreHashedDistinctlyAndAlwaysFitASocketAddress) {
    const std::string longA(200, 'a');
    std::string longB = longA;
    longB.back() = 'b';
    const std::string hashedA = eventAddressName(4294967294u, longA);
    const std::string hashedB = eventAddressName(4294967294u, longB);
    EXPECT_NE(hashedA, hashedB);
    EXPECT_EQ(hashedA.rfind("trax-evh-", 0), 0u);
    EXPECT_EQ(hashedA, eventAddressName(4294967294u, longA)) << "the hash must be stable";
    sockaddr_un address;
    const socklen_t length = makeEventAddress(4294967294u, longA, address);
    EXPECT_LE(length, sizeof address);
    EXPECT_EQ(address.sun_path[0], '\0') << "abstract namespace";
}

TEST(EventAddress, AShortNameCannotImitateAHashedOne) {
    const std::string longName(150, 'n');
    const std::string hashed = eventAddressName(7, longName);
    const std::string imitation = hashed.substr(std::string("trax-evh-7-").size());
    EXPECT_NE(eventAddressName(7, imitation), hashed);
}

} // namespace
