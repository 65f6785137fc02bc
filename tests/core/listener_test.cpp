#include "core/listener.h"
#include "core/process_usage.h"
#include "core/server_address.h"

#include <gtest/gtest.h>

#include <QLocale>
#include <QSet>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

const ProcessIdentity kIdentity{4312, 501, 1700000000, 42};

Listener node() {
    return Listener{
        .pid = 4312, .port = 5173, .command = u"node"_s, .identity = kIdentity, .project = {}, .workingDirectory = {}};
}

ProjectMetadata site() {
    return ProjectMetadata{u"my-app"_s, u"/Users/a/site"_s, u"/Users/a/site/package.json"_s, true, false};
}

TEST(ListenerTest, TextsWithoutAProject) {
    const Listener listener = node();
    EXPECT_EQ(listener.displayName(), u"node"_s);
    EXPECT_EQ(listener.detail(), u"PID 4312"_s);
    EXPECT_EQ(listener.helpText(), QString::fromUtf8("node\n"
                                                     "Project not identified \xE2\x80\x94 showing process name\n"
                                                     "node \xC2\xB7 PID 4312 \xC2\xB7 port 5173"));
    EXPECT_FALSE(listener.projectOverrideKey().has_value());
}

TEST(ListenerTest, TextsWithAProject) {
    Listener listener = node();
    listener.project = site();
    EXPECT_EQ(listener.displayName(), u"my-app"_s);
    EXPECT_EQ(listener.detail(), QString::fromUtf8("node \xC2\xB7 PID 4312"));
    EXPECT_EQ(listener.helpText(), QString::fromUtf8("my-app\n"
                                                     "Name from package.json\n"
                                                     "/Users/a/site\n"
                                                     "node \xC2\xB7 PID 4312 \xC2\xB7 port 5173"));
}

TEST(ListenerTest, TheTooltipNamesWhatStartedTheServerAndItsUnit) {
    Listener listener = node();
    listener.group = ProcessGroup{.leaderPid = 1200,
                                  .leaderCommand = u"npm run dev"_s,
                                  .members = {ProcessIdentity{1200, 501, 1, 0}, ProcessIdentity{1201, 501, 1, 0},
                                              ProcessIdentity{1202, 501, 1, 0}, *listener.identity}};
    EXPECT_TRUE(listener.helpText().endsWith(u"port 5173\nStarted by npm run dev (PID 1200, 4 processes)"_s))
        << listener.helpText().toStdString();
    listener.group->unit = u"api.service"_s;
    EXPECT_TRUE(listener.helpText().endsWith(u"4 processes)\nRuns in the systemd user unit api.service"_s));
    // A group of one is the server itself: nothing to add.
    listener.group->members = {*listener.identity};
    listener.group->unit.reset();
    EXPECT_TRUE(listener.helpText().endsWith(u"port 5173"_s));
}

TEST(ListenerTest, NegativePidAndLargePortArePlainDecimal) {
    Listener listener = node();
    listener.pid = -7;
    listener.port = 50000;
    EXPECT_EQ(listener.detail(), u"PID -7"_s);
    EXPECT_TRUE(listener.helpText().endsWith(QString::fromUtf8("PID -7 \xC2\xB7 port 50000")));
}

TEST(ListenerTest, OverrideKeyJoinsCommandFolderAndPortWithUnitSeparators) {
    Listener listener = node();
    listener.workingDirectory = u"/Users/a/site"_s;
    EXPECT_EQ(listener.projectOverrideKey(), QStringLiteral("node\x1F/Users/a/site\x1F"
                                                            "5173"));
}

TEST(ListenerTest, CanTerminateNeedsAnIdentity) {
    Listener listener = node();
    listener.identity.reset();
    EXPECT_FALSE(listener.canTerminate());
}

TEST(ListenerTest, IdentityIsPartOfTheID) {
    Listener withIdentity = node();
    Listener without = node();
    without.identity.reset();
    Listener restarted = node();
    restarted.identity = ProcessIdentity{4312, 501, 1700000099, 0};
    EXPECT_NE(withIdentity.id(), without.id());
    EXPECT_NE(withIdentity.id(), restarted.id());
    EXPECT_EQ(QSet<Listener::ID>({withIdentity.id(), without.id(), restarted.id()}).size(), 3);
}

TEST(ListenerTest, ProjectAndFolderChangeEqualityButNotTheID) {
    const Listener plain = node();
    Listener withProject = node();
    withProject.project = site();
    Listener withFolder = node();
    withFolder.workingDirectory = u"/Users/a/site"_s;
    EXPECT_NE(plain, withProject);
    EXPECT_NE(plain, withFolder);
    EXPECT_EQ(plain.id(), withProject.id());
    EXPECT_EQ(plain.id(), withFolder.id());
    EXPECT_EQ(QSet<Listener>({plain, withProject, withFolder}).size(), 3);
}

// Where a browser reaches a server, from the addresses its port is bound on.
TEST(ServerAddressTest, Table) {
    struct Case {
        QStringList bound;
        QString url;
        QString connectTo;
    };
    const Case cases[] = {
        {{u"0.0.0.0"_s}, u"http://localhost:3000/"_s, u"127.0.0.1"_s},
        {{u"127.0.0.1"_s, u"::1"_s}, u"http://localhost:3000/"_s, u"127.0.0.1"_s},
        {{u"::"_s}, u"http://localhost:3000/"_s, u"::1"_s},
        {{}, u"http://localhost:3000/"_s, u"127.0.0.1"_s},
        {{u"::1"_s}, u"http://[::1]:3000/"_s, u"::1"_s},
        {{u"127.0.0.2"_s}, u"http://127.0.0.2:3000/"_s, u"127.0.0.2"_s},
        {{u"::ffff:127.0.0.2"_s}, u"http://127.0.0.2:3000/"_s, u"127.0.0.2"_s},
        // Loopback first, then IPv4, whatever order the sockets came in.
        {{u"192.168.1.5"_s, u"::1"_s}, u"http://[::1]:3000/"_s, u"::1"_s},
        {{u"fd00::5"_s, u"192.168.1.5"_s}, u"http://192.168.1.5:3000/"_s, u"192.168.1.5"_s},
    };
    for (const Case& c : cases) {
        const ServerAddress address = ServerAddress::of(c.bound, 3000);
        EXPECT_EQ(address.url(false), c.url) << c.bound.join(u' ').toStdString();
        EXPECT_EQ(address.connectTo, c.connectTo) << c.bound.join(u' ').toStdString();
    }
    EXPECT_EQ(ServerAddress::of({u"::1"_s}, 8443).url(true), u"https://[::1]:8443/"_s);
}

TEST(ProcessUsageTest, DurationsAndMemoryInTheLocalesNumbers) {
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    const std::tuple<uint64_t, QString, QString> durations[] = {
        {59, u"Running for 59 s"_s, u"59s"_s},
        {60, u"Running for 1 min"_s, u"1m"_s},
        {2 * 3600 + 14 * 60 + 59, u"Running for 2 h 14 min"_s, u"2h14m"_s},
        {1500 * 86400ULL + 4 * 3600, u"Running for 1,500 d 4 h"_s, u"1500d4h"_s},
    };
    for (const auto& [seconds, words, compact] : durations) {
        EXPECT_EQ(ProcessUsage::runningFor(seconds, english), words);
        EXPECT_EQ(ProcessUsage::compactDuration(seconds), compact);
    }
    EXPECT_EQ(ProcessUsage::memory(8'420'000, german), u"8,4 MB"_s);
    EXPECT_EQ(ProcessUsage::memory(2'320'000'000, german), u"2,3 GB"_s);
    EXPECT_EQ(ProcessUsage::memory(999'600'000, english), u"1.0 GB"_s);
    EXPECT_EQ(ProcessUsage::summary(8045, 184'400'000, english), u"Running for 2 h 14 min \u00B7 184 MB"_s);
    EXPECT_EQ(ProcessUsage::summary(std::nullopt, 184'000'000, english), u"184 MB"_s);
    EXPECT_EQ(ProcessUsage::summary(std::nullopt, std::nullopt, english), QString());
}

}  // namespace
}  // namespace vantu
