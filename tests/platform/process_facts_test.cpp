#include "platform/process.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <thread>

namespace vantu::platform {
namespace {

using test::SpawnedListener;

TEST(ProcessFactsTest, TwoReadsOfOneLiveProcessAgree) {
    SpawnedListener child = SpawnedListener::start();
    const auto first = readProcessFacts(child.pid());
    const auto second = readProcessFacts(child.pid());
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(first->effectiveUid, ::geteuid());
    EXPECT_EQ(first->startSeconds, second->startSeconds);
    EXPECT_EQ(first->startMicroseconds, second->startMicroseconds);
    EXPECT_LT(first->startMicroseconds, 1'000'000U);
}

TEST(ProcessFactsTest, StartTimeIsNearNow) {
    SpawnedListener child = SpawnedListener::start();
    const auto facts = readProcessFacts(child.pid());
    ASSERT_TRUE(facts.has_value());
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    EXPECT_NEAR(static_cast<double>(facts->startSeconds), static_cast<double>(now), 5.0);
}

TEST(ProcessFactsTest, ProcessesStartedAtDifferentTimesDiffer) {
    SpawnedListener first = SpawnedListener::start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    SpawnedListener second = SpawnedListener::start();
    const auto a = readProcessFacts(first.pid());
    const auto b = readProcessFacts(second.pid());
    ASSERT_TRUE(a && b);
    EXPECT_TRUE(a->startSeconds != b->startSeconds || a->startMicroseconds != b->startMicroseconds);
}

TEST(ProcessFactsTest, GoneAfterTheProcessIsReaped) {
    SpawnedListener child = SpawnedListener::start();
    const pid_t pid = child.pid();
    child.kill();
    EXPECT_FALSE(readProcessFacts(pid).has_value());
    EXPECT_FALSE(executablePath(pid).has_value());
    EXPECT_FALSE(workingDirectory(pid).has_value());
}

TEST(ProcessFactsTest, CommandNameWithParenthesesAndSpaces) {
    SpawnedListener plain = SpawnedListener::start();
    SpawnedListener odd = SpawnedListener::start({.commandName = QStringLiteral("a) (b) 1 2 3")});
    const auto expected = readProcessFacts(plain.pid());
    const auto facts = readProcessFacts(odd.pid());
    ASSERT_TRUE(facts.has_value());
    EXPECT_EQ(facts->effectiveUid, ::geteuid());
    // Misreading the fields would land on another number entirely, far from the start
    // time of a process started a moment earlier.
    EXPECT_NEAR(static_cast<double>(facts->startSeconds), static_cast<double>(expected->startSeconds), 2.0);
}

TEST(ProcessFactsTest, OwnerIsTheEffectiveUserEvenWhenNotDumpable) {
    if (!test::runningAsRoot()) {
        GTEST_SKIP() << "starting a process as another user needs root";
    }
    const uint32_t nobody = 65534;
    for (const bool undumpable : {false, true}) {
        SpawnedListener child = SpawnedListener::start({.undumpable = undumpable, .user = QStringLiteral("nobody")});
        const auto facts = readProcessFacts(child.pid());
        ASSERT_TRUE(facts.has_value());
        EXPECT_EQ(facts->effectiveUid, nobody) << "undumpable: " << undumpable;
    }
    // Our own process reads as ours (root's entry is root-owned either way).
    EXPECT_EQ(readProcessFacts(currentPid())->effectiveUid, currentUid());
}

// The same reads made by an ordinary user, who takes the cheaper path through the stat file:
// a forked child drops to nobody and reports whether every answer matched.
TEST(ProcessFactsTest, AnOrdinaryUserReadsTheSameFacts) {
    if (!test::runningAsRoot()) {
        GTEST_SKIP() << "dropping to another user needs root";
    }
    const uint32_t nobody = 65534;
    SpawnedListener plain = SpawnedListener::start({.user = QStringLiteral("nobody")});
    SpawnedListener undumpable = SpawnedListener::start({.undumpable = true, .user = QStringLiteral("nobody")});
    struct Expectation {
        pid_t pid;
        std::optional<ProcessFacts> facts;
    };
    const Expectation expected[] = {
        {plain.pid(), readProcessFacts(plain.pid())},
        {undumpable.pid(), readProcessFacts(undumpable.pid())},
        {::getpid(), readProcessFacts(::getpid())},
    };
    ASSERT_EQ(expected[0].facts->effectiveUid, nobody);
    ASSERT_EQ(expected[1].facts->effectiveUid, nobody);
    ASSERT_EQ(expected[2].facts->effectiveUid, 0U);

    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(nobody) != 0 || ::setuid(nobody) != 0 || currentUid() != nobody) {
            ::_exit(10);
        }
        int mismatch = 0;
        for (const Expectation& e : expected) {
            const auto facts = readProcessFacts(e.pid);
            ++mismatch;
            if (facts && facts->effectiveUid == e.facts->effectiveUid && facts->startSeconds == e.facts->startSeconds &&
                facts->startMicroseconds == e.facts->startMicroseconds) {
                --mismatch;
            }
        }
        ::_exit(mismatch);
    }
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: could not drop to nobody; otherwise the number of wrong answers";
}

TEST(ProcessListTest, ListsProcessesByOwnerWithTheirCommandNames) {
    SpawnedListener node = SpawnedListener::start({.commandName = QStringLiteral("node")});
    SpawnedListener odd = SpawnedListener::start({.commandName = QStringLiteral("a) (b) 1 2 3")});
    const auto mine = processesOf(currentUid());
    for (const pid_t pid : {node.pid(), odd.pid(), ::getpid()}) {
        EXPECT_NE(std::find(mine.cbegin(), mine.cend(), pid), mine.cend()) << pid;
    }
    EXPECT_EQ(commandName(node.pid()), QStringLiteral("node"));
    // The kernel keeps the first 15 bytes, as the listing tool reports them.
    EXPECT_EQ(commandName(odd.pid()), QStringLiteral("a) (b) 1 2 3"));

    const pid_t gone = node.pid();
    node.kill();
    EXPECT_FALSE(commandName(gone).has_value());
    const auto after = processesOf(currentUid());
    EXPECT_EQ(std::find(after.cbegin(), after.cend(), gone), after.cend());
}

TEST(ProcessListTest, AnotherUsersProcessesAreListedOnlyUnderTheirOwner) {
    if (!test::runningAsRoot()) {
        GTEST_SKIP() << "starting a process as another user needs root";
    }
    const uint32_t nobody = 65534;
    for (const bool undumpable : {false, true}) {
        SpawnedListener child = SpawnedListener::start({.undumpable = undumpable, .user = QStringLiteral("nobody")});
        const auto mine = processesOf(currentUid());
        const auto theirs = processesOf(nobody);
        EXPECT_EQ(std::find(mine.cbegin(), mine.cend(), child.pid()), mine.cend()) << undumpable;
        EXPECT_NE(std::find(theirs.cbegin(), theirs.cend(), child.pid()), theirs.cend()) << undumpable;
    }
}

TEST(ProcessFactsTest, InvalidPidsHaveNoFacts) {
    for (const int32_t pid : {0, -1, -4312, 2147483647}) {
        EXPECT_FALSE(commandName(pid).has_value()) << pid;
        EXPECT_FALSE(readProcessFacts(pid).has_value()) << pid;
        EXPECT_FALSE(executablePath(pid).has_value()) << pid;
        EXPECT_FALSE(workingDirectory(pid).has_value()) << pid;
    }
}

TEST(ProcessFactsTest, ExecutableAndWorkingDirectory) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString canonical = QFileInfo(folder.path()).canonicalFilePath();
    SpawnedListener child = SpawnedListener::start({.workingDirectory = canonical});
    EXPECT_EQ(executablePath(child.pid()), QFileInfo(test::testListenerProgram()).canonicalFilePath());
    EXPECT_EQ(workingDirectory(child.pid()), canonical);
}

TEST(ProcessFactsTest, DeletedWorkingDirectoryIsAbsent) {
    QTemporaryDir parent;
    const QString folder = QFileInfo(parent.path()).canonicalFilePath() + QStringLiteral("/site");
    ASSERT_TRUE(QDir().mkpath(folder));
    SpawnedListener child = SpawnedListener::start({.workingDirectory = folder});
    ASSERT_TRUE(workingDirectory(child.pid()).has_value());
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_FALSE(workingDirectory(child.pid()).has_value());
}

TEST(ProcessFactsTest, CurrentProcess) {
    EXPECT_EQ(currentPid(), ::getpid());
    EXPECT_EQ(currentUid(), ::getuid());
    EXPECT_TRUE(readProcessFacts(currentPid()).has_value());
}

}  // namespace
}  // namespace vantu::platform
