#include <gtest/gtest.h>

#include <string>

#include "event_wire.h"

namespace {

using trax::platform::eventFileName;

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

} // namespace
