#include "core/process_stopper.h"
#include "core/process_group.h"

#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QScopeGuard>

#include <fcntl.h>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace vantu {
namespace {

using test::SpawnedListener;

constexpr uint32_t kNobody = 65534;

std::optional<PortServiceError::Case> caseOf(const std::optional<PortServiceError>& error) {
    return error ? std::optional(error->errorCase()) : std::nullopt;
}

ProcessIdentity identityOf(const SpawnedListener& child) {
    const auto identity = ProcessIdentity::read(child.pid());
    EXPECT_TRUE(identity.has_value());
    return identity.value_or(ProcessIdentity{});
}

TEST(ProcessStopperTest, PoliteStopEndsACooperativeProcess) {
    SpawnedListener child = SpawnedListener::start();
    EXPECT_EQ(ProcessStopper::stop(identityOf(child), false), std::nullopt);
    EXPECT_EQ(child.waitForEndingSignal(10s), SIGTERM);
}

TEST(ProcessStopperTest, ForcedStopEndsAProcessThatIgnoresThePoliteOne) {
    SpawnedListener child = SpawnedListener::start(SpawnedListener::Options{.ignoreTerm = true});
    const ProcessIdentity identity = identityOf(child);
    EXPECT_EQ(ProcessStopper::stop(identity, false), std::nullopt);
    EXPECT_EQ(child.waitForEndingSignal(300ms), std::nullopt) << "SIGTERM is ignored";
    EXPECT_EQ(ProcessStopper::stop(identity, true), std::nullopt);
    EXPECT_EQ(child.waitForEndingSignal(10s), SIGKILL);
}

TEST(ProcessStopperTest, NeverSignalsInitOrItself) {
    const auto self = ProcessIdentity::read(static_cast<int32_t>(::getpid()));
    ASSERT_TRUE(self.has_value());
    auto init = *self;
    init.pid = 1;
    for (const auto& identity : {init, *self}) {
        for (const bool force : {false, true}) {
            EXPECT_EQ(caseOf(ProcessStopper::stop(identity, force)), PortServiceError::Case::protectedProcess)
                << identity.pid;
        }
    }
}

TEST(ProcessStopperTest, NeverSignalsAnotherUsersProcess) {
    if (!test::runningAsRoot()) {
        GTEST_SKIP() << "starting a process as another user needs root";
    }
    SpawnedListener child = SpawnedListener::start(SpawnedListener::Options{.user = u"nobody"_s});
    const ProcessIdentity identity = identityOf(child);
    ASSERT_EQ(identity.userID, kNobody);
    EXPECT_EQ(caseOf(ProcessStopper::stop(identity, true)), PortServiceError::Case::protectedProcess);
    // Claiming the process is ours does not help: the live owner differs.
    ProcessIdentity claimed = identity;
    claimed.userID = static_cast<uint32_t>(::getuid());
    EXPECT_EQ(caseOf(ProcessStopper::stop(claimed, true)), PortServiceError::Case::processChanged);
    EXPECT_EQ(child.waitForEndingSignal(300ms), std::nullopt) << "the process was left alone";
}

TEST(ProcessStopperTest, AnExitedProcessIsReportedAsExited) {
    SpawnedListener child = SpawnedListener::start();
    const ProcessIdentity identity = identityOf(child);
    child.kill();
    EXPECT_EQ(caseOf(ProcessStopper::stop(identity, false)), PortServiceError::Case::processExited);
}

TEST(ProcessStopperTest, ADifferentStartTimeMeansAnotherProcessThatIsLeftAlone) {
    SpawnedListener child = SpawnedListener::start();
    const ProcessIdentity live = identityOf(child);
    ProcessIdentity earlierSecond = live;
    earlierSecond.startSeconds -= 1;
    ProcessIdentity laterTick = live;
    laterTick.startMicroseconds += 1;
    for (const auto& stale : {earlierSecond, laterTick}) {
        for (const bool force : {false, true}) {
            EXPECT_EQ(caseOf(ProcessStopper::stop(stale, force)), PortServiceError::Case::processChanged);
        }
    }
    EXPECT_EQ(child.waitForEndingSignal(300ms), std::nullopt) << "the live process was left alone";

    // A group member whose pid names another process by the time of the signal is passed over,
    // without a word, while the others are signalled.
    SpawnedListener member = SpawnedListener::start();
    const ProcessGroup group{.leaderPid = member.pid(), .members = {earlierSecond, identityOf(member)}};
    EXPECT_EQ(ProcessGroups::signal(group, SIGINT), std::nullopt);
    EXPECT_EQ(member.waitForEndingSignal(10s), SIGINT);
    EXPECT_EQ(child.waitForEndingSignal(300ms), std::nullopt) << "the process now behind the pid was left alone";
}

// A process whose effective user is nobody while its real and saved users stay root: its
// identity names nobody, yet nobody may not signal it. The refusal comes from the system.
TEST(ProcessStopperTest, ASystemRefusalCarriesTheSystemsText) {
    if (!test::runningAsRoot()) {
        GTEST_SKIP() << "switching users needs root";
    }
    const pid_t target = ::fork();
    if (target == 0) {
        if (::setresuid(static_cast<uid_t>(-1), kNobody, static_cast<uid_t>(-1)) != 0) {
            ::_exit(1);
        }
        for (;;) {
            ::pause();
        }
    }
    ASSERT_GT(target, 0);
    const auto killTarget = qScopeGuard([target] {
        ::kill(target, SIGKILL);
        ::waitpid(target, nullptr, 0);
    });
    std::optional<ProcessIdentity> identity;
    for (int attempt = 0; attempt < 2000 && (!identity || identity->userID != kNobody); ++attempt) {
        identity = ProcessIdentity::read(static_cast<int32_t>(target));
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(identity && identity->userID == kNobody);

    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    const pid_t stopper = ::fork();
    if (stopper == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0) {
            ::_exit(1);
        }
        const auto error = ProcessStopper::stop(*identity, false);
        const QByteArray text = error ? error->errorDescription().toUtf8() : QByteArray("stopped");
        [[maybe_unused]] const ssize_t n = ::write(fds[1], text.constData(), static_cast<size_t>(text.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray text;
    char buffer[256];
    for (ssize_t n = 0; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        text.append(buffer, n);
    }
    ::close(fds[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(stopper, &status, 0), stopper);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(text, "Couldn\xE2\x80\x99t stop process: Operation not permitted.");
    EXPECT_EQ(::waitpid(target, &status, WNOHANG), 0) << "the target still runs";
}

}  // namespace
}  // namespace vantu
