#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "event_slots.h"
#include "peer_process.h"
#include "trax_win32.h"

namespace {

std::string uniqueName(const char *suffix) {
    return "xtest-" + std::to_string(GetCurrentProcessId()) + "-" + suffix;
}

// True if any entry of the directory mentions the text.
bool directoryMentions(const char *path, const std::string &text) {
    DIR *dir = opendir(path);
    if (dir == nullptr)
        return false;
    bool found = false;
    while (dirent *entry = readdir(dir))
        found = found || std::string(entry->d_name).find(text) != std::string::npos;
    closedir(dir);
    return found;
}

TEST(CrossProcessEvents, ASetInAnotherProcessWakesTheOwnerHere) {
    const std::string name = uniqueName("wake");
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    PeerProcess peer({"set", name});
    ASSERT_TRUE(peer.started());
    EXPECT_EQ(peer.readLine(), "existed 1") << "the peer opens the event owned here";
    EXPECT_EQ(peer.wait(), 0);
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST(CrossProcessEvents, ASetHereWakesTheOwnerInAnotherProcess) {
    const std::string name = uniqueName("reverse");
    PeerProcess peer({"own", name, "2", "5000"});
    ASSERT_EQ(peer.readLine(), "ready 0");
    HANDLE opener = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(opener, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(SetEvent(opener));
    EXPECT_EQ(peer.readLine(), "signalled");
    EXPECT_TRUE(SetEvent(opener));
    EXPECT_EQ(peer.readLine(), "signalled");
    EXPECT_EQ(peer.wait(), 0);
    CloseHandle(opener);
}

TEST(CrossProcessEvents, AnOpenerTakesTheNameOverOnceTheOwnerHasGone) {
    const std::string name = uniqueName("takeover");
    PeerProcess owner({"own", name, "1", "5000"});
    ASSERT_EQ(owner.readLine(), "ready 0");
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(event, 50), WAIT_TIMEOUT) << "the owner is still there";
    owner.kill();

    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(nameIsOwned(name)) << "the wait claimed the free name";
    PeerProcess sender({"set", name});
    EXPECT_EQ(sender.readLine(), "existed 1");
    EXPECT_EQ(sender.wait(), 0);
    EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0);
    CloseHandle(event);
}

TEST(CrossProcessEvents, AWaitOnSeveralEventsNoticesATakeOverWhileWaiting) {
    const std::string name = uniqueName("takeover-many");
    PeerProcess owner({"own", name, "1", "300"});
    ASSERT_EQ(owner.readLine(), "ready 0");
    HANDLE events[] = {CreateEventA(nullptr, FALSE, FALSE, nullptr),
                       CreateEventA(nullptr, FALSE, FALSE, name.c_str())};
    ASSERT_NE(events[1], nullptr);
    // Once the owner has given up and ended, this wait takes the name over within a
    // retry slice or two, and a set from another process reaches it.
    struct Handover {
        PeerProcess *owner;
        std::string name;
    } handover{&owner, name};
    HANDLE setter = CreateThread(
        nullptr, 0,
        [](LPVOID param) -> DWORD {
            auto *h = static_cast<Handover *>(param);
            if (h->owner->readLine() != "timeout" || h->owner->wait() != 0)
                return 1;
            Sleep(400);
            PeerProcess sender({"set", h->name});
            return sender.wait() == 0 ? 0 : 1;
        },
        &handover, 0, nullptr);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 10000), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForSingleObject(setter, 5000), WAIT_OBJECT_0);
    CloseHandle(setter);
    for (HANDLE event : events)
        CloseHandle(event);
}

// A sender maps the doorbell of an owner once, however many of its events it sets.
TEST(CrossProcessEvents, ASenderMapsAnOwnersDoorbellOnceForAllItsEvents) {
    std::vector<std::string> args{"bells"};
    std::vector<HANDLE> events;
    for (const char *suffix : {"b0", "b1", "b2"}) {
        args.push_back(uniqueName(suffix));
        events.push_back(CreateEventA(nullptr, FALSE, FALSE, args.back().c_str()));
        ASSERT_NE(events.back(), nullptr);
    }
    PeerProcess peer(args);
    EXPECT_EQ(peer.readLine(), "bells 1");
    EXPECT_EQ(peer.wait(), 0);
    for (HANDLE event : events) {
        EXPECT_EQ(WaitForSingleObject(event, 5000), WAIT_OBJECT_0) << "each set woke the owner";
        CloseHandle(event);
    }
}

TEST(CrossProcessEvents, WakeUpsFromAnotherProcessKeepTheirOrder) {
    HANDLE events[] = {CreateEventA(nullptr, FALSE, FALSE, uniqueName("o0").c_str()),
                       CreateEventA(nullptr, FALSE, FALSE, uniqueName("o1").c_str())};
    PeerProcess peer({"set", uniqueName("o1"), uniqueName("o0"), uniqueName("o1")});
    EXPECT_EQ(peer.wait(), 0);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 5000), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 5000), WAIT_OBJECT_0 + 0);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 5000), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(WaitForMultipleObjects(2, events, FALSE, 0), WAIT_TIMEOUT);
    for (HANDLE event : events)
        CloseHandle(event);
}

// Nobody takes wake-ups here, so the sender waits for room in vain and, after its time-out,
// fails the sets that do not fit.
TEST(CrossProcessEvents, AFullQueueRefusesFurtherSetsInsteadOfLosingThem) {
    const std::string name = uniqueName("full");
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(event, nullptr);
    const int sets = static_cast<int>(trax::platform::kEventSlots) + 3;
    std::vector<std::string> args{"set"};
    args.insert(args.end(), sets, name);
    PeerProcess peer(args);
    int refused = 0;
    for (std::string line = peer.readLine(); line != "<eof>" && line != "<timeout>";
         line = peer.readLine(10000)) {
        if (line.rfind("failed ", 0) == 0) {
            EXPECT_EQ(line, "failed " + std::to_string(ERROR_TOO_MANY_POSTS));
            ++refused;
        }
    }
    EXPECT_EQ(peer.wait(), 1);
    EXPECT_GT(refused, 0) << "nobody waits here, so the queue fills";
    int received = 0;
    while (WaitForSingleObject(event, 0) == WAIT_OBJECT_0)
        ++received;
    EXPECT_EQ(received, sets - refused) << "every accepted set arrived";
    CloseHandle(event);
}

TEST(CrossProcessEvents, SettingANameNobodyOwnsAnyMoreSucceeds) {
    const std::string name = uniqueName("orphan");
    PeerProcess owner({"own", name, "1", "5000"});
    ASSERT_EQ(owner.readLine(), "ready 0");
    HANDLE opener = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
    ASSERT_NE(opener, nullptr);
    owner.kill();
    SetLastError(0);
    EXPECT_TRUE(SetEvent(opener));
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(opener);
}

TEST(CrossProcessEvents, NothingIsLeftBehindAfterACleanEndOrACrash) {
    const std::string clean = uniqueName("clean");
    PeerProcess owner({"own", clean, "1", "10"});
    ASSERT_EQ(owner.readLine(), "ready 0");
    EXPECT_EQ(owner.wait(), 0);
    EXPECT_NE(access(eventFilePath(clean).c_str(), F_OK), 0) << "removed on close";

    const std::string crashed = uniqueName("crash");
    PeerProcess victim({"own", crashed, "1", "10000"});
    ASSERT_EQ(victim.readLine(), "ready 0");
    EXPECT_TRUE(nameIsOwned(crashed));
    victim.kill();
    EXPECT_FALSE(nameIsOwned(crashed));
    EXPECT_FALSE(directoryMentions("/dev/shm", crashed));
    // The next process that binds a name sweeps the file of the crashed owner away.
    PeerProcess next({"own", uniqueName("next"), "1", "0"});
    EXPECT_EQ(next.readLine(), "ready 0");
    EXPECT_EQ(next.wait(), 0);
    EXPECT_NE(access(eventFilePath(crashed).c_str(), F_OK), 0) << "swept";

    // A crashed owner's file never blocks its name: binding it again reclaims it.
    PeerProcess again({"own", crashed, "1", "10000"});
    ASSERT_EQ(again.readLine(), "ready 0");
    again.kill();
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, crashed.c_str());
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "this process owns it now";
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 1000), WAIT_OBJECT_0);
    CloseHandle(event);
    EXPECT_NE(access(eventFilePath(crashed).c_str(), F_OK), 0);
}

// A file under an event's name that this build cannot read (another size or another first
// word, as a build with another layout would write) is never removed while a live process
// holds its lock: neither the sweep of a new process nor a claim of the name touches it, and
// the claim fails as busy. Once nobody holds it, it is junk and the name is claimed.
TEST(CrossProcessEvents, AFileALiveProcessHoldsIsNeverRemovedWhateverItHolds) {
    const HANDLE anchor = CreateEventA(nullptr, FALSE, FALSE, uniqueName("anchor").c_str());
    ASSERT_NE(anchor, nullptr) << "keeps the folder while files are planted in it";
    const struct {
        const char *what;
        off_t size;
        uint32_t firstWord;
    } cases[] = {{"another size", 100, trax::platform::kEventMagic},
                 {"another first word", trax::platform::kEventFileSize, 0x54455631}};
    for (const auto &c : cases) {
        const std::string name = uniqueName("held-foreign");
        const std::string path = eventFilePath(name);
        const int held = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        ASSERT_GE(held, 0) << c.what;
        ASSERT_EQ(ftruncate(held, c.size), 0);
        ASSERT_EQ(pwrite(held, &c.firstWord, sizeof c.firstWord, 0), 4);
        ASSERT_EQ(flock(held, LOCK_EX), 0);
        struct stat planted, after;
        ASSERT_EQ(fstat(held, &planted), 0);

        PeerProcess sweeper({"own", uniqueName("sweeper"), "1", "0"});
        EXPECT_EQ(sweeper.readLine(), "ready 0");
        EXPECT_EQ(sweeper.wait(), 0);
        SetLastError(0);
        EXPECT_EQ(CreateEventA(nullptr, FALSE, FALSE, name.c_str()), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY)) << c.what;
        ASSERT_EQ(stat(path.c_str(), &after), 0) << c.what << ": still there";
        EXPECT_EQ(after.st_ino, planted.st_ino) << c.what;

        close(held);
        HANDLE event = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
        ASSERT_NE(event, nullptr) << c.what;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS)) << "junk nobody holds goes";
        CloseHandle(event);
    }
    CloseHandle(anchor);
}

// A sender keeps the file of an event it has set. Once the owner has ended or was killed and
// another process has made the name again, the sender's next set reaches the new owner.
TEST(CrossProcessEvents, ASenderReachesTheNextOwnerOfAName) {
    for (const bool crash : {false, true}) {
        const std::string name = uniqueName(crash ? "next-crash" : "next-clean");
        PeerProcess first({"own", name, crash ? "2" : "1", "5000"});
        ASSERT_EQ(first.readLine(), "ready 0");
        HANDLE opener = CreateEventA(nullptr, FALSE, FALSE, name.c_str());
        ASSERT_NE(opener, nullptr);
        EXPECT_TRUE(SetEvent(opener));
        EXPECT_EQ(first.readLine(), "signalled");
        if (crash)
            first.kill();
        first.wait();
        PeerProcess second({"own", name, "1", "5000"});
        ASSERT_EQ(second.readLine(), "ready 0") << "the name is free again";
        EXPECT_TRUE(SetEvent(opener));
        EXPECT_EQ(second.readLine(), "signalled") << (crash ? "after a crash" : "after an end");
        EXPECT_EQ(second.wait(), 0);
        CloseHandle(opener);
    }
}

// The private folder goes with the last file in it when its last user ends.
TEST(CrossProcessEvents, TheFolderIsRemovedWhenItsLastUserEnds) {
    char pattern[] = "/tmp/trax-runtime-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string runtime = pattern;
    const std::string folder = runtime + "/trax";
    const std::vector<std::string> environment{"XDG_RUNTIME_DIR=" + runtime};
    PeerProcess owner({"own", uniqueName("folder"), "1", "5000"}, environment);
    ASSERT_EQ(owner.readLine(), "ready 0");
    EXPECT_EQ(access(folder.c_str(), F_OK), 0);
    PeerProcess sender({"set", uniqueName("folder")}, environment);
    EXPECT_EQ(sender.readLine(), "existed 1");
    EXPECT_EQ(sender.wait(), 0);
    EXPECT_EQ(owner.readLine(), "signalled");
    EXPECT_EQ(owner.wait(), 0);
    EXPECT_NE(access(folder.c_str(), F_OK), 0) << "removed with its last file";
    rmdir(runtime.c_str());
}

// Four processes set their own pair of events in turn while this one takes the wake-ups of
// all eight: each pair must alternate exactly, so a lost, doubled or reordered signal shows.
TEST(CrossProcessEvents, AFloodFromFourSendersArrivesExactlyOnceInOrderPerSender) {
    constexpr int kSenders = 4;
    constexpr int kRounds = 1500;
    HANDLE events[2 * kSenders];
    std::vector<std::unique_ptr<PeerProcess>> senders;
    for (int i = 0; i < kSenders; ++i) {
        const std::string a = uniqueName(("flood-a" + std::to_string(i)).c_str());
        const std::string b = uniqueName(("flood-b" + std::to_string(i)).c_str());
        events[2 * i] = CreateEventA(nullptr, FALSE, FALSE, a.c_str());
        events[2 * i + 1] = CreateEventA(nullptr, FALSE, FALSE, b.c_str());
        ASSERT_NE(events[2 * i + 1], nullptr);
        senders.push_back(std::make_unique<PeerProcess>(
            std::vector<std::string>{"alternate", std::to_string(kRounds), a, b}));
    }
    int received[2 * kSenders] = {};
    int outOfTurn = 0;
    for (int total = 0; total < 2 * kSenders * kRounds; ++total) {
        const DWORD index =
            WaitForMultipleObjects(2 * kSenders, events, FALSE, 10000) - WAIT_OBJECT_0;
        ASSERT_LT(index, static_cast<DWORD>(2 * kSenders)) << "after " << total;
        // An "a" is due when both counts are equal, a "b" when its "a" is one ahead.
        const int partner = received[index ^ 1];
        outOfTurn += received[index] != (index % 2 == 0 ? partner : partner - 1);
        ++received[index];
    }
    EXPECT_EQ(outOfTurn, 0);
    EXPECT_EQ(WaitForMultipleObjects(2 * kSenders, events, FALSE, 100), WAIT_TIMEOUT);
    for (int i = 0; i < kSenders; ++i) {
        EXPECT_EQ(senders[i]->readLine(), "done");
        EXPECT_EQ(senders[i]->wait(), 0);
        EXPECT_EQ(received[2 * i], kRounds);
        EXPECT_EQ(received[2 * i + 1], kRounds);
    }
    for (HANDLE event : events)
        CloseHandle(event);
}

TEST(VersionOfAChild, FollowsTheEnvironment) {
    PeerProcess win2000({"version"}, {"TRAX_WINVER=2.5.0.2195"});
    EXPECT_EQ(win2000.readLine(), "2 5 0 2195 ");
    EXPECT_EQ(win2000.wait(), 0);

    PeerProcess win95({"version"}, {"TRAX_WINVER=1.4.0"});
    EXPECT_EQ(win95.readLine(), "1 4 0 0 ");

    PeerProcess nt4({"version"}, {"TRAX_WINVER="});
    EXPECT_EQ(nt4.readLine(), "2 4 0 1381 Service Pack 6");
}

TEST(VersionOfAChild, AMalformedSettingIsReportedAndIgnored) {
    for (const char *bad :
         {"TRAX_WINVER=5", "TRAX_WINVER=2.4.", "TRAX_WINVER=2.4.0.1.9", "TRAX_WINVER=3.4.0",
          "TRAX_WINVER=2.99999999999.0", "TRAX_WINVER=-2.4.0"}) {
        PeerProcess peer({"version"}, {bad});
        EXPECT_EQ(peer.readLine(), "2 4 0 1381 Service Pack 6") << bad;
        EXPECT_NE(peer.readErrors().find("TRAX_WINVER"), std::string::npos) << bad;
    }
}

} // namespace
