#include "platform/watched_child.h"

#include "fake_tools.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <future>
#include <thread>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

using test::fakeTool;
using test::ScopedEnvironment;

// Short limits keep the hang tests quick; the order of events is what they check.
constexpr WatchdogLimits kShortLimits{300ms, 200ms, 300ms};

ChildExit runToEnd(const char* tool, const WatchdogLimits& limits = kShortLimits, const QStringList& arguments = {}) {
    auto result = runWatchedChild(fakeTool(tool), arguments, limits);
    if (const auto* failure = std::get_if<LaunchFailure>(&result)) {
        ADD_FAILURE() << "launch failed: " << failure->description.toStdString();
        return {};
    }
    return std::get<ChildExit>(std::move(result));
}

std::optional<pid_t> waitForPidFile(const QString& path, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray text = file.readAll();
            if (text.endsWith('\n')) {
                return static_cast<pid_t>(text.trimmed().toInt());
            }
        }
        std::this_thread::sleep_for(5ms);
    }
    return std::nullopt;
}

bool processExists(pid_t pid) {
    return ::access(QByteArray("/proc/" + QByteArray::number(pid)).constData(), F_OK) == 0;
}

char processState(pid_t pid) {
    QFile stat(QString::fromLatin1("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return '?';
    }
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close >= 0 && close + 2 < text.size() ? text.at(close + 2) : '?';
}

TEST(WatchedChildTest, StartsTheToolAsAskedAndMergesItsStreams) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A descriptor this process holds without close-on-exec must not reach the tool.
    const QString leakedPath = dir.filePath(u"leaked"_s);
    const int leaked = ::open(QFile::encodeName(leakedPath).constData(), O_WRONLY | O_CREAT, 0600);
    ASSERT_GE(leaked, 0);
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_FD", QByteArray::number(leaked));
    environment.set("VANTU_FAKE_MARKER", "inherited");

    const ChildExit exit = runToEnd("report_setup", WatchdogLimits{}, {u"-iTCP"_s, u"two words"_s, u""_s});
    ::close(leaked);

    EXPECT_EQ(exit.reason, ChildExit::Reason::exited);
    EXPECT_EQ(exit.exitStatus, 0);
    const QList<QByteArray> lines = exit.output.split('\n');
    ASSERT_GE(lines.size(), 9) << exit.output.toStdString();
    EXPECT_EQ(lines[0], "arg:-iTCP");
    EXPECT_EQ(lines[1], "arg:two words");
    EXPECT_EQ(lines[2], "arg:");
    EXPECT_EQ(lines[3], "stdin:/dev/null");
    EXPECT_EQ(lines[4], "nofile:1024");
    ASSERT_TRUE(lines[5].startsWith("pid:"));
    ASSERT_TRUE(lines[6].startsWith("pgid:"));
    EXPECT_EQ(lines[5].sliced(4), lines[6].sliced(5)) << "the tool leads its own process group";
    EXPECT_NE(lines[7], "fd:" + QFile::encodeName(leakedPath));
    EXPECT_EQ(lines[8], "stderr:inherited");
}

TEST(WatchedChildTest, ReadsOutputFarLargerThanAPipeHolds) {
    const ChildExit exit = runToEnd("large_output", WatchdogLimits{});
    EXPECT_EQ(exit.reason, ChildExit::Reason::exited);
    EXPECT_EQ(exit.exitStatus, 0);
    EXPECT_EQ(exit.output.size(), 100'000 * 28);
    EXPECT_TRUE(exit.output.endsWith("p4312 cnode n127.0.0.1:3000\n"));
}

TEST(WatchedChildTest, WatchdogStaysQuietForAToolThatExitsInTime) {
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_STDOUT", "p1\n");
    environment.set("VANTU_FAKE_STATUS", "4");
    const ChildExit exit = runToEnd("print_and_exit", WatchdogLimits{2000ms, 200ms, 300ms});
    EXPECT_EQ(exit.reason, ChildExit::Reason::exited);
    EXPECT_EQ(exit.exitStatus, 4);
    EXPECT_EQ(exit.output, "p1\n");
    EXPECT_FALSE(exit.terminateSent);
    EXPECT_FALSE(exit.killSent);
}

TEST(WatchedChildTest, HangingToolsEndByTheWatchdogsSignals) {
    struct Case {
        const char* tool;
        ChildExit::Reason reason;
        int signalNumber;
        int exitStatus;
        bool killSent;
        QByteArray output;
    };
    const Case cases[] = {
        {"never_exits", ChildExit::Reason::signalled, SIGTERM, 0, false, ""},
        {"ignores_term", ChildExit::Reason::signalled, SIGKILL, 0, true, ""},
        {"exits_on_term", ChildExit::Reason::exited, 0, 3, false, "interrupted\n"},
    };
    for (const Case& c : cases) {
        const ChildExit exit = runToEnd(c.tool);
        EXPECT_EQ(exit.reason, c.reason) << c.tool;
        EXPECT_EQ(exit.signalNumber, c.signalNumber) << c.tool;
        EXPECT_EQ(exit.exitStatus, c.exitStatus) << c.tool;
        EXPECT_TRUE(exit.terminateSent) << c.tool;
        EXPECT_EQ(exit.killSent, c.killSent) << c.tool;
        EXPECT_EQ(exit.output, c.output) << c.tool;
    }
}

TEST(WatchedChildTest, AToolThatNeverStopsWritingStillMeetsTheDeadline) {
    const ChildExit exit = runToEnd("floods_output", WatchdogLimits{50ms, 200ms, 300ms, qsizetype{1} << 40});
    EXPECT_EQ(exit.reason, ChildExit::Reason::signalled);
    EXPECT_EQ(exit.signalNumber, SIGTERM);
    EXPECT_TRUE(exit.output.startsWith("p4312 cnode n127.0.0.1:3000\n"));
}

TEST(WatchedChildTest, ASignalFromAnyoneElseCountsAsASignal) {
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_STDOUT", "p1\ncnode\nn127.0.0.1:3000\n");
    environment.set("VANTU_FAKE_SIGNAL", "SEGV");
    const ChildExit exit = runToEnd("print_and_exit", WatchdogLimits{5000ms, 500ms, 500ms});
    EXPECT_EQ(exit.reason, ChildExit::Reason::signalled);
    EXPECT_EQ(exit.signalNumber, SIGSEGV);
    EXPECT_FALSE(exit.terminateSent);
    EXPECT_EQ(exit.output, "p1\ncnode\nn127.0.0.1:3000\n");
}

TEST(WatchedChildTest, GivesUpOnAnOutputPipeThatNeverCloses) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pidFile = dir.filePath(u"holder"_s);
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_PIDFILE", QFile::encodeName(pidFile));

    const ChildExit exit = runToEnd("escaped_output_holder");
    const auto holder = waitForPidFile(pidFile, 10s);
    if (holder) {
        ::kill(*holder, SIGKILL);
    }
    EXPECT_EQ(exit.reason, ChildExit::Reason::abandoned);
    EXPECT_TRUE(exit.killSent);
    ASSERT_TRUE(holder.has_value());
}

// Holds a ptrace attachment on a process without ever waiting for it: once that process dies
// it stays a zombie its real parent cannot reap, as a process in uninterruptible sleep
// cannot be reaped, until the tracer goes away.
class Tracer {
public:
    explicit Tracer(pid_t target) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) {
            error_ = errno;
            return;
        }
        pid_ = ::fork();
        if (pid_ == 0) {
            const int error = ::ptrace(PTRACE_SEIZE, target, nullptr, nullptr) == 0 ? 0 : errno;
            [[maybe_unused]] const ssize_t n = ::write(fds[1], &error, sizeof error);
            for (;;) {
                ::pause();
            }
        }
        ::close(fds[1]);
        if (pid_ < 0 || ::read(fds[0], &error_, sizeof error_) != static_cast<ssize_t>(sizeof error_)) {
            error_ = errno != 0 ? errno : EIO;
        }
        ::close(fds[0]);
    }
    Tracer(const Tracer&) = delete;
    Tracer& operator=(const Tracer&) = delete;
    ~Tracer() { stop(); }

    [[nodiscard]] int error() const { return error_; }

    void stop() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
    }

private:
    pid_t pid_ = -1;
    int error_ = 0;
};

TEST(WatchedChildTest, ReturnsWhenTheKilledChildCannotBeReapedAndReapsItLater) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pidFile = dir.filePath(u"tool"_s);
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_PIDFILE", QFile::encodeName(pidFile));

    // Long enough before the kill for the tracer to attach even on a loaded machine.
    auto run = std::async(std::launch::async, [] {
        return runWatchedChild(fakeTool("reports_pid_then_hangs"), {}, WatchdogLimits{3000ms, 300ms, 300ms});
    });
    const auto tool = waitForPidFile(pidFile, 10s);
    ASSERT_TRUE(tool.has_value());
    Tracer tracer(*tool);
    const auto result = run.get();
    if (tracer.error() != 0) {
        GTEST_SKIP() << "cannot trace the tool here: " << std::strerror(tracer.error());
    }

    ASSERT_TRUE(std::holds_alternative<ChildExit>(result));
    const auto& exit = std::get<ChildExit>(result);
    EXPECT_EQ(exit.reason, ChildExit::Reason::abandoned);
    EXPECT_TRUE(exit.killSent);
    EXPECT_EQ(processState(*tool), 'Z');

    // With the tracer gone the zombie is handed back, and the background reaper collects it.
    tracer.stop();
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (processExists(*tool) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(processExists(*tool));
}

TEST(WatchedChildTest, OutputWaitsInThePipeWhileTheCallerWorks) {
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_STDOUT", "p1\ncnode\n");
    auto started = WatchedChild::start(fakeTool("print_and_exit"), {}, WatchdogLimits{2000ms, 200ms, 300ms});
    ASSERT_TRUE(std::holds_alternative<WatchedChild>(started));
    // The tool ends before anyone reads it; nothing it wrote may be lost.
    std::this_thread::sleep_for(200ms);
    const ChildExit exit = std::get<WatchedChild>(started).finish();
    EXPECT_EQ(exit.reason, ChildExit::Reason::exited);
    EXPECT_EQ(exit.exitStatus, 0);
    EXPECT_EQ(exit.output, "p1\ncnode\n");
    EXPECT_FALSE(exit.terminateSent);
}

TEST(WatchedChildTest, TheWatchdogsClockStartsAtLaunchNotAtFinish) {
    auto started = WatchedChild::start(fakeTool("never_exits"), {}, kShortLimits);
    ASSERT_TRUE(std::holds_alternative<WatchedChild>(started));
    // Past the time limit before finish() is even called: it must signal at once instead of
    // granting the tool a fresh time limit.
    std::this_thread::sleep_for(kShortLimits.terminateAfter + 100ms);
    const auto finishing = std::chrono::steady_clock::now();
    const ChildExit exit = std::get<WatchedChild>(started).finish();
    EXPECT_TRUE(exit.terminateSent);
    EXPECT_EQ(exit.reason, ChildExit::Reason::signalled);
    EXPECT_EQ(exit.signalNumber, SIGTERM);
    EXPECT_LT(std::chrono::steady_clock::now() - finishing, kShortLimits.terminateAfter);
}

TEST(WatchedChildTest, AChildNobodyFinishesIsKilledAndReaped) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString pidFile = dir.filePath(u"tool"_s);
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_PIDFILE", QFile::encodeName(pidFile));
    std::optional<pid_t> tool;
    {
        auto started = WatchedChild::start(fakeTool("reports_pid_then_hangs"), {}, WatchdogLimits{});
        ASSERT_TRUE(std::holds_alternative<WatchedChild>(started));
        // Moved once, as a caller would hand it on: only the last owner may act on it.
        WatchedChild child = std::move(std::get<WatchedChild>(started));
        tool = waitForPidFile(pidFile, 10s);
        ASSERT_TRUE(tool.has_value());
        ASSERT_TRUE(processExists(*tool));
    }
    // SIGKILL reaches it although it ignores SIGTERM, and no zombie is left behind.
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (processExists(*tool) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    EXPECT_FALSE(processExists(*tool));
}

TEST(WatchedChildTest, ReportsWhyAToolCannotBeStarted) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString plainFile = dir.filePath(u"lsof"_s);
    {
        QFile file(plainFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nexit 0\n");
    }
    QFile::setPermissions(plainFile, QFile::ReadOwner | QFile::WriteOwner);
    struct Case {
        QString program;
        QString expected;
    };
    const Case cases[] = {
        {dir.filePath(u"missing"_s), dir.filePath(u"missing"_s) + u": No such file or directory"_s},
        {plainFile, plainFile + u": Permission denied"_s},
    };
    for (const Case& c : cases) {
        const auto result = runWatchedChild(c.program, {}, kShortLimits);
        ASSERT_TRUE(std::holds_alternative<LaunchFailure>(result)) << c.program.toStdString();
        EXPECT_EQ(std::get<LaunchFailure>(result).description, c.expected);
    }
}

}  // namespace
}  // namespace vantu::platform
