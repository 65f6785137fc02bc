#include "core/process_identity.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QSet>

#include <unistd.h>

namespace vantu {
namespace {

TEST(ProcessIdentityTest, ReadsALiveChildTheSameWayTwice) {
    test::SpawnedListener child = test::SpawnedListener::start();
    const auto first = ProcessIdentity::read(child.pid());
    const auto second = ProcessIdentity::read(child.pid());
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->pid, child.pid());
    EXPECT_EQ(first->userID, ::getuid());
    EXPECT_TRUE(first->canTerminate());
}

TEST(ProcessIdentityTest, AbsentOnceTheProcessIsGone) {
    test::SpawnedListener child = test::SpawnedListener::start();
    const pid_t pid = child.pid();
    child.kill();
    EXPECT_FALSE(ProcessIdentity::read(pid).has_value());
}

TEST(ProcessIdentityTest, EqualityAndHashCoverEveryField) {
    const ProcessIdentity base{4312, 501, 1700000000, 250};
    const ProcessIdentity variants[] = {
        {4313, 501, 1700000000, 250},
        {4312, 502, 1700000000, 250},
        {4312, 501, 1700000001, 250},
        {4312, 501, 1700000000, 251},
    };
    QSet<ProcessIdentity> set{base};
    for (const auto& other : variants) {
        EXPECT_NE(base, other);
        set.insert(other);
    }
    EXPECT_EQ(set.size(), 5);
    EXPECT_TRUE(set.contains(ProcessIdentity{4312, 501, 1700000000, 250}));
}

TEST(ProcessIdentityTest, CanTerminateOnlyOwnOtherProcessesFromPidTwo) {
    const auto uid = static_cast<uint32_t>(::getuid());
    const auto self = static_cast<int32_t>(::getpid());
    struct Case {
        const char* what;
        ProcessIdentity identity;
        bool expected;
    };
    const Case cases[] = {
        {"pid 0", {0, uid, 1, 0}, false},
        {"pid 1", {1, uid, 1, 0}, false},
        {"negative pid", {-7, uid, 1, 0}, false},
        {"own pid", {self, uid, 1, 0}, false},
        {"another user", {4312, uid + 1, 1, 0}, false},
        {"pid 2 of the user", {2, uid, 1, 0}, true},
        {"another process of the user", {4312, uid, 1, 0}, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.identity.canTerminate(), c.expected) << c.what;
    }
}

}  // namespace
}  // namespace vantu
