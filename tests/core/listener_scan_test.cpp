#include "core/listener_scan.h"

#include "core/listener_parser.h"
#include "fake_tools.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <thread>

using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace vantu {
namespace {

using test::fakeTool;
using test::ScopedEnvironment;
using test::SpawnedListener;

constexpr platform::WatchdogLimits kShortLimits{300ms, 200ms, 300ms};

ListenerScan fakeScan(const char* tool) {
    return ListenerScan(fakeTool(tool), kShortLimits);
}

// What a scan came to, flattened for comparison.
struct Result {
    enum class Kind { nothingListening, output, error };
    Kind kind;
    QString text;  // the output, or the error's description
    std::optional<PortServiceError::Case> errorCase;
};

Result describe(const std::variant<ScanOutcome, ServiceError>& result) {
    if (const auto* outcome = std::get_if<ScanOutcome>(&result)) {
        if (!outcome->output) {
            return {Result::Kind::nothingListening, QString(), std::nullopt};
        }
        return {Result::Kind::output, *outcome->output, std::nullopt};
    }
    const auto& error = std::get<ServiceError>(result);
    const auto* serviceError = std::get_if<PortServiceError>(&error);
    return {Result::Kind::error, errorDescription(error),
            serviceError ? std::optional(serviceError->errorCase()) : std::nullopt};
}

QByteArray repeated(const QByteArray& piece, int times) {
    QByteArray text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

TEST(ListenerScanTest, JudgesTheToolsExit) {
    const QString failed = u"Couldn\u2019t read listening ports. "_s;
    const QString timedOut = u"Port scan timed out. Try refreshing."_s;
    // 300 user-perceived characters: decomposed accents and a family emoji take several
    // UTF-16 units but count as one each.
    const QByteArray accent = "e\xCC\x81";
    const QByteArray family = "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7";
    const QByteArray long300 = repeated(accent, 100) + repeated(family, 10) + repeated("x", 189) + "\n";
    const QString first240 = QString::fromUtf8(repeated(accent, 100) + repeated(family, 10) + repeated("x", 130));

    struct Case {
        const char* what;
        QByteArray standardOutput;
        QByteArray standardError;
        QByteArray status;
        QByteArray signal;
        Result::Kind kind;
        QString text;
    };
    const Case cases[] = {
        {"status 1 and silent: nothing listens", "", "", "1", "", Result::Kind::nothingListening, {}},
        {"status 1 and only blank space", " \n\t\r\n  ", "\n", "1", "", Result::Kind::nothingListening, {}},
        {"status 1 with a warning", "", "lsof: WARNING: can't stat() fuse.gvfsd-fuse file system /run/user/1000/gvfs\n",
         "1", "", Result::Kind::error,
         failed + u"lsof: WARNING: can't stat() fuse.gvfsd-fuse file system /run/user/1000/gvfs\n"_s},
        {"status 1 with listing text", "p12\n", "", "1", "", Result::Kind::error, failed + u"p12\n"_s},
        {"status 2 with 300 characters", "", long300, "2", "", Result::Kind::error, failed + first240},
        {"status 2 and silent", "", "", "2", "", Result::Kind::error, failed},
        {"status 2 with invalid UTF-8", "lsof: bad \xFF\xFE name\n", "", "2", "", Result::Kind::error,
         failed + u"lsof: bad \uFFFD\uFFFD name\n"_s},
        {"status 0: the text as it is", "p1\ncnode\nn127.0.0.1:3000\n\n", "", "0", "", Result::Kind::output,
         u"p1\ncnode\nn127.0.0.1:3000\n\n"_s},
        {"status 0 and silent: an empty listing, not nothing", "", "", "0", "", Result::Kind::output, u""_s},
        {"status 0 with invalid UTF-8", "p1\nc\xC3node\nn127.0.0.1:3000\n", "", "0", "", Result::Kind::output,
         u"p1\nc\uFFFDnode\nn127.0.0.1:3000\n"_s},
        {"a byte-order mark is text too", "\xEF\xBB\xBFp1\n", "", "0", "", Result::Kind::output, u"\uFEFFp1\n"_s},
        {"ended by a signal after a full listing", "p1\ncnode\nn127.0.0.1:3000\n", "", "0", "SEGV", Result::Kind::error,
         timedOut},
        {"ended by a signal while silent", "", "", "1", "TERM", Result::Kind::error, timedOut},
    };
    for (const Case& c : cases) {
        ScopedEnvironment environment;
        environment.set("VANTU_FAKE_STDOUT", c.standardOutput);
        environment.set("VANTU_FAKE_STDERR", c.standardError);
        environment.set("VANTU_FAKE_STATUS", c.status);
        environment.set("VANTU_FAKE_SIGNAL", c.signal);
        const Result result = describe(ListenerScan(fakeTool("print_and_exit"), platform::WatchdogLimits{}).run());
        EXPECT_EQ(result.kind, c.kind) << c.what;
        EXPECT_EQ(result.text, c.text) << c.what;
    }
}

TEST(ListenerScanTest, AHangingToolTimesOutUnlessItExitsWithAStatus) {
    struct Case {
        const char* tool;
        QString text;
    };
    const Case cases[] = {
        {"never_exits", u"Port scan timed out. Try refreshing."_s},
        {"ignores_term", u"Port scan timed out. Try refreshing."_s},
        {"exits_on_term", u"Couldn\u2019t read listening ports. interrupted\n"_s},
    };
    for (const Case& c : cases) {
        const Result result = describe(fakeScan(c.tool).run());
        EXPECT_EQ(result.kind, Result::Kind::error) << c.tool;
        EXPECT_EQ(result.text, c.text) << c.tool;
    }
}

TEST(ListenerScanTest, AToolThatWritesWithoutEndIsStoppedAtTheOutputLimit) {
    platform::WatchdogLimits limits;
    limits.maxOutput = 256 * 1024;
    const Result result = describe(ListenerScan(fakeTool("floods_output"), limits).run());
    EXPECT_EQ(result.kind, Result::Kind::error);
    EXPECT_EQ(
        result.text,
        u"Couldn\u2019t read listening ports. floods_output wrote far more than any listing holds; none of it was used."_s);
}

TEST(ListenerScanTest, ReturnsWhenSomethingKeepsTheOutputOpen) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_PIDFILE", QFile::encodeName(dir.filePath(u"holder"_s)));
    const Result result = describe(fakeScan("escaped_output_holder").run());
    QFile pidFile(dir.filePath(u"holder"_s));
    if (pidFile.open(QIODevice::ReadOnly)) {
        ::kill(pidFile.readAll().trimmed().toInt(), SIGKILL);
    }
    EXPECT_EQ(result.errorCase, PortServiceError::Case::scanTimedOut);
}

TEST(ListenerScanTest, AToolThatCannotStartGivesTheSystemsReason) {
    const Result result = describe(ListenerScan(u"/nonexistent/lsof"_s, kShortLimits).run());
    EXPECT_EQ(result.kind, Result::Kind::error);
    EXPECT_FALSE(result.errorCase.has_value()) << "not wrapped in PortServiceError";
    EXPECT_EQ(result.text, u"/nonexistent/lsof: No such file or directory"_s);
}

TEST(ListenerScanTest, AStartedScanIsJudgedWhenFinishedAndAFailedStartThen) {
    ScopedEnvironment environment;
    environment.set("VANTU_FAKE_STDOUT", "p7\ncnode\nn127.0.0.1:3000\n");
    ListenerScan::Running running = ListenerScan(fakeTool("print_and_exit"), platform::WatchdogLimits{}).start();
    std::this_thread::sleep_for(100ms);
    const Result result = describe(running.finish());
    EXPECT_EQ(result.kind, Result::Kind::output);
    EXPECT_EQ(result.text, u"p7\ncnode\nn127.0.0.1:3000\n"_s);

    // Starting never fails outright: the launch error is the finished scan's result.
    const Result missing = describe(ListenerScan(u"/nonexistent/lsof"_s, kShortLimits).start().finish());
    EXPECT_EQ(missing.text, u"/nonexistent/lsof: No such file or directory"_s);
}

TEST(ListenerScanTest, ProductionUsesTheSystemToolAndTheStandardLimits) {
    const ListenerScan scan;
    const QString expected = QFile::exists(u"/usr/bin/lsof"_s) ? u"/usr/bin/lsof"_s : u"/usr/sbin/lsof"_s;
    EXPECT_EQ(scan.toolPath(), expected);
    EXPECT_EQ(ListenerScan::standardToolPath(), expected);
    EXPECT_EQ(scan.limits().terminateAfter, 5000ms);
    EXPECT_EQ(scan.limits().killAfter, 500ms);
}

// The real tool against real listeners: the child's own record, whatever else is listed.
TEST(ListenerScanRealTest, FindsAListenerOnEachLoopbackFamily) {
    for (const QString& host : {u"127.0.0.1"_s, u"::1"_s, u"both"_s}) {
        SpawnedListener child = SpawnedListener::start(SpawnedListener::Options{.host = host});
        const auto result = ListenerScan().run();
        ASSERT_TRUE(std::holds_alternative<ScanOutcome>(result)) << describe(result).text.toStdString();
        const auto& output = std::get<ScanOutcome>(result).output;
        ASSERT_TRUE(output.has_value()) << host.toStdString();

        QList<Listener> mine;
        for (const Listener& listener : ListenerParser::parse(*output)) {
            if (listener.pid == child.pid()) {
                mine.append(listener);
            }
        }
        // Both address families on one port make one record.
        ASSERT_EQ(mine.size(), 1) << host.toStdString() << "\n" << output->toStdString();
        EXPECT_EQ(mine[0].port, child.port()) << host.toStdString();
        EXPECT_EQ(mine[0].command, u"test_listener"_s) << host.toStdString();
        ASSERT_TRUE(mine[0].identity.has_value());
        EXPECT_EQ(mine[0].identity, ProcessIdentity::read(child.pid())) << host.toStdString();
    }
}

TEST(ListenerScanRealTest, NothingListeningInAFreshNetworkNamespace) {
    if (!test::runningAsRoot() || QProcess::execute(u"/usr/bin/unshare"_s, {u"--net"_s, u"true"_s}) != 0) {
        GTEST_SKIP() << "creating a network namespace needs root";
    }
    // A listener in this namespace must not show up in the fresh one.
    SpawnedListener child = SpawnedListener::start();
    const Result result = describe(ListenerScan(fakeTool("lsof_without_network"), platform::WatchdogLimits{}).run());
    EXPECT_EQ(result.kind, Result::Kind::nothingListening) << result.text.toStdString();
}

}  // namespace
}  // namespace vantu
