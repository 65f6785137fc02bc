#include "service/port_service.h"
#include "core/process_identity.h"
#include "enumerators.h"
#include "project/project_resolver.h"
#include "service/snapshot_assembly.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QCoroFuture>
#include <QCoroTask>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

namespace vantu {
namespace {

StopTarget processTarget(const ProcessIdentity& identity) {
    return StopTarget::process(identity, QStringLiteral("test_listener"));
}

using namespace Qt::StringLiterals;

// A temporary folder under the private home folder, so that no walk up leaves the test.
class Folder {
public:
    Folder() : dir_(QDir::homePath() + u"/service-XXXXXX"_s) {}
    [[nodiscard]] QString path(const QString& relative) const { return QDir::cleanPath(dir_.path() + u'/' + relative); }
    QString make(const QString& relative) const {
        QDir().mkpath(path(relative));
        return path(relative);
    }
    QString write(const QString& relative, const QByteArray& content, bool executable = false) const {
        QFile file(path(relative));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        if (executable) {
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        return path(relative);
    }
    // A stand-in for the listing tool: a shell script with this body.
    QString tool(const QString& name, const QByteArray& body) const { return write(name, "#!/bin/sh\n" + body, true); }

private:
    QTemporaryDir dir_;
};

const Listener* find(const QList<Listener>& listeners, pid_t pid, uint16_t port) {
    for (const Listener& listener : listeners) {
        if (listener.pid == pid && listener.port == port) {
            return &listener;
        }
    }
    return nullptr;
}

QList<Listener> listenersOf(const SnapshotResult& result) {
    if (const auto* error = std::get_if<ServiceError>(&result)) {
        ADD_FAILURE() << "snapshot failed: " << errorDescription(*error).toStdString();
        return {};
    }
    return std::get<QList<Listener>>(result);
}

TEST(PortServiceTest, FindsRealListenersWithTheirProjects) {
    Folder folder;
    const QString site = folder.make(u"site/server"_s);
    folder.write(u"site/package.json"_s, R"({"name": "my-app"})");
    const QString repo = folder.make(u"repo/.git"_s).chopped(5);
    test::SpawnedListener twoPorts =
        test::SpawnedListener::start({.host = u"both"_s, .ports = {0, 0}, .workingDirectory = site});
    test::SpawnedListener sameFolder = test::SpawnedListener::start({.workingDirectory = site});
    test::SpawnedListener inRepo = test::SpawnedListener::start({.workingDirectory = repo});

    const QList<Listener> listeners = listenersOf(PortService().snapshot(DiscoverySettings::defaults()).result());

    const ProjectMetadata myApp{.name = u"my-app"_s,
                                .directory = folder.path(u"site"_s),
                                .manifest = folder.path(u"site/package.json"_s),
                                .hasProjectEvidence = true};
    const ProjectMetadata repoProject{.name = u"repo"_s, .directory = repo, .hasProjectEvidence = true};
    struct Expected {
        pid_t pid;
        uint16_t port;
        QString workingDirectory;
        ProjectMetadata project;
    };
    const Expected expected[] = {
        {twoPorts.pid(), twoPorts.ports().at(0), site, myApp},
        {twoPorts.pid(), twoPorts.ports().at(1), site, myApp},
        {sameFolder.pid(), sameFolder.port(), site, myApp},
        {inRepo.pid(), inRepo.port(), repo, repoProject},
    };
    for (const auto& e : expected) {
        const Listener* listener = find(listeners, e.pid, e.port);
        ASSERT_NE(listener, nullptr) << e.port;
        EXPECT_EQ(listener->identity, ProcessIdentity::read(e.pid));
        EXPECT_EQ(listener->workingDirectory, e.workingDirectory);
        EXPECT_EQ(listener->project, e.project);
        // Each shown server comes with the process group it runs in.
        ASSERT_TRUE(listener->group.has_value()) << e.port;
        EXPECT_TRUE(listener->group->members.contains(*listener->identity)) << e.port;
    }
    for (qsizetype i = 1; i < listeners.size(); ++i) {
        const Listener& a = listeners.at(i - 1);
        const Listener& b = listeners.at(i);
        EXPECT_TRUE(a.port < b.port || (a.port == b.port && a.pid <= b.pid)) << "sorted by port, then pid";
    }
}

TEST(PortServiceTest, AListenerThatExitsBeforeItsProjectIsResolvedGetsNone) {
    Folder folder;
    const QString site = folder.make(u"site"_s);
    folder.write(u"site/package.json"_s, R"({"name": "my-app"})");
    test::SpawnedListener leaving = test::SpawnedListener::start({.workingDirectory = site});
    test::SpawnedListener staying = test::SpawnedListener::start({.workingDirectory = site});

    // The real enumeration, then the process exits just before the resolver runs.
    const auto found = SnapshotAssembly::assemble(
        ListenerEnumerator().enumerate(), DiscoverySettings::defaults(), {},
        [&](QList<Listener> listeners, const ProjectOverrides& overrides, const DiscoverySettings& settings) {
            leaving.kill();
            return ProjectResolver::enrich(std::move(listeners), overrides, settings);
        });
    ASSERT_TRUE(std::holds_alternative<ListenerInventory>(found));
    const QList<Listener> listeners = std::get<ListenerInventory>(found).listeners;

    const Listener* gone = find(listeners, leaving.pid(), leaving.port());
    ASSERT_NE(gone, nullptr);
    EXPECT_TRUE(gone->identity.has_value()) << "it was alive when it was found";
    EXPECT_EQ(gone->project, std::nullopt);
    EXPECT_EQ(gone->workingDirectory, std::nullopt);
    const Listener* alive = find(listeners, staying.pid(), staying.port());
    ASSERT_NE(alive, nullptr);
    EXPECT_EQ(alive->project.value_or(ProjectMetadata{}).name, u"my-app"_s);
}

// Whether anything opened a file in `folder` since the watch began.
class OpenWatch {
public:
    explicit OpenWatch(const QString& folder) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        ::inotify_add_watch(fd_, QFile::encodeName(folder).constData(), IN_OPEN | IN_ACCESS);
    }
    ~OpenWatch() { ::close(fd_); }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;
    bool sawOpen() const {
        char buffer[4096];
        return ::read(fd_, buffer, sizeof buffer) > 0;
    }

private:
    int fd_;
};

TEST(PortServiceTest, ARuntimeThatDoesNotListenIsNeverExamined) {
    Folder folder;
    const QString idle = folder.make(u"idle"_s);
    folder.write(u"idle/package.json"_s, R"({"name": "idle-app"})");
    const QString served = folder.make(u"served"_s);
    folder.write(u"served/package.json"_s, R"({"name": "served-app"})");
    // A node process that listens on nothing, in a project of its own.
    const pid_t quiet = ::fork();
    if (quiet == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::prctl(PR_SET_NAME, "node");
        if (::chdir(QFile::encodeName(idle).constData()) != 0) {
            ::_exit(1);
        }
        for (;;) {
            ::pause();
        }
    }
    ASSERT_GT(quiet, 0);
    test::SpawnedListener node = test::SpawnedListener::start({.workingDirectory = served, .commandName = u"node"_s});
    const OpenWatch idleWatch(idle);
    const OpenWatch servedWatch(served);

    const QList<Listener> listeners = listenersOf(PortService().snapshot(DiscoverySettings::defaults()).result());

    const Listener* found = find(listeners, node.pid(), node.port());
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->project.value_or(ProjectMetadata{}).name, u"served-app"_s);
    EXPECT_TRUE(servedWatch.sawOpen()) << "the watch sees the listener's project being read";
    EXPECT_FALSE(idleWatch.sawOpen()) << "the idle runtime's folder was read";
    ::kill(quiet, SIGKILL);
    ::waitpid(quiet, nullptr, 0);
}

TEST(PortServiceTest, TheWaitAfterAStopEndsWhenTheProcessDoesAndNamesWhoTookThePortBack) {
    using namespace std::chrono_literals;
    const PortService service;
    test::SpawnedListener polite = test::SpawnedListener::start();
    test::SpawnedListener stubborn = test::SpawnedListener::start({.ignoreTerm = true});
    test::SpawnedListener handsOff = test::SpawnedListener::start({.handOffOnTerm = true});
    struct Case {
        const char* what;
        test::SpawnedListener& listener;
        bool exits;
    };
    const Case cases[] = {
        {"ends on SIGTERM", polite, true},
        {"ignores SIGTERM", stubborn, false},
    };
    for (const Case& c : cases) {
        const auto identity = ProcessIdentity::read(c.listener.pid());
        ASSERT_TRUE(identity.has_value()) << c.what;
        const StopSendResult sent = service.send(processTarget(*identity), false).result();
        ASSERT_TRUE(std::holds_alternative<StopSent>(sent)) << c.what;
        const uint16_t port = c.listener.port();
        const StopAftermath expected{.exited = c.exits,
                                     .stillRunning = c.exits ? QList<ProcessIdentity>() : QList{*identity},
                                     .verdicts = c.exits ? QList{PortVerdict{port, {}}} : QList<PortVerdict>(),
                                     .stillHeld = c.exits ? QList<uint16_t>() : QList{port}};
        EXPECT_EQ(service.awaitOutcome(std::get<StopSent>(sent), {port}, 1200ms).result(), expected) << c.what;
    }

    // A server that passes its socket to a child as it ends: the port is not free.
    const auto identity = ProcessIdentity::read(handsOff.pid());
    ASSERT_TRUE(identity.has_value());
    const StopSendResult sent = service.send(processTarget(*identity), false).result();
    ASSERT_TRUE(std::holds_alternative<StopSent>(sent));
    const StopAftermath aftermath = service.awaitOutcome(std::get<StopSent>(sent), {handsOff.port()}, 1200ms).result();
    EXPECT_TRUE(aftermath.exited);
    ASSERT_TRUE(aftermath.takenAgain.has_value());
    const QString prefix = u"Port "_s + QString::number(handsOff.port()) + u" was taken again by test_listener (PID "_s;
    EXPECT_TRUE(aftermath.takenAgain->startsWith(prefix)) << aftermath.takenAgain->toStdString();
    ::kill(aftermath.takenAgain->mid(prefix.size()).section(u')', 0, 0).toInt(), SIGKILL);
}

TEST(PortServiceTest, NothingListeningIsAnEmptyList) {
    Folder folder;
    const PortService service(
        test::withoutSocketDump(ListenerScan(folder.tool(u"quiet"_s, "printf '\\n  \\n'\nexit 1\n"), {})));
    const SnapshotResult result = service.snapshot(DiscoverySettings::defaults()).result();
    ASSERT_TRUE(std::holds_alternative<QList<Listener>>(result));
    EXPECT_TRUE(std::get<QList<Listener>>(result).isEmpty());
}

TEST(PortServiceTest, AFailingToolIsTheSnapshotsError) {
    Folder folder;
    const PortService failing(
        test::withoutSocketDump(ListenerScan(folder.tool(u"failing"_s, "echo 'lsof: boom'\nexit 2\n"), {})));
    const SnapshotResult result = failing.snapshot(DiscoverySettings::defaults()).result();
    ASSERT_TRUE(std::holds_alternative<ServiceError>(result));
    EXPECT_EQ(std::get<ServiceError>(result), ServiceError{PortServiceError::scanFailed(u"lsof: boom\n"_s)});

    const PortService missing(test::withoutSocketDump(ListenerScan(folder.path(u"no-such-tool"_s), {})));
    const SnapshotResult launch = missing.snapshot(DiscoverySettings::defaults()).result();
    ASSERT_TRUE(std::holds_alternative<ServiceError>(launch));
    EXPECT_TRUE(std::holds_alternative<LaunchError>(std::get<ServiceError>(launch)));
}

TEST(PortServiceTest, TheSnapshotKeepsTheChoicesItWasGiven) {
    Folder folder;
    const QString site = folder.make(u"site"_s);
    folder.write(u"site/package.json"_s, R"({"name": "my-app"})");
    const QString chosen = folder.make(u"chosen"_s);
    test::SpawnedListener child = test::SpawnedListener::start({.workingDirectory = site});
    // A tool that answers late, naming the child as a system service that only an include
    // rule makes worth identifying.
    const QByteArray listing =
        "p" + QByteArray::number(child.pid()) + "\ncsharingd\nn127.0.0.1:" + QByteArray::number(child.port()) + "\n";
    const PortService service(
        test::withoutSocketDump(ListenerScan(folder.tool(u"slow"_s, "sleep 0.5\nprintf '" + listing + "'\n"), {})));
    const QString key = QStringList{u"sharingd"_s, site, QString::number(child.port())}.join(QChar(0x1F));

    QFuture<SnapshotResult> running;
    {
        auto settings = std::make_unique<DiscoverySettings>(
            std::get<DiscoverySettings>(DiscoverySettings::create(true, QString::number(child.port()), {})));
        auto overrides = std::make_unique<ProjectOverrides>(ProjectOverrides{{key, chosen}});
        running = service.snapshot(*settings, *overrides);
        // Changed and gone before the task reads them.
        *settings = DiscoverySettings::defaults();
        overrides->clear();
    }
    const QList<Listener> listeners = listenersOf(running.result());
    ASSERT_EQ(listeners.size(), 1);
    EXPECT_EQ(listeners.at(0).workingDirectory, site);
    EXPECT_EQ(listeners.at(0).project, (ProjectMetadata{u"chosen"_s, chosen, std::nullopt, true, true}));
}

TEST(PortServiceTest, TheStoreCanAwaitASnapshotAndAStop) {
    Folder folder;
    test::SpawnedListener child = test::SpawnedListener::start({.workingDirectory = folder.make(u"app"_s)});
    const PortService service;
    const auto identity = ProcessIdentity::read(child.pid());
    ASSERT_TRUE(identity.has_value());

    // A task's result must be default-constructible, which a stop's result is not.
    auto run = [&]() -> QCoro::Task<std::optional<std::pair<SnapshotResult, StopSendResult>>> {
        SnapshotResult snapshot = co_await service.snapshot(DiscoverySettings::defaults());
        StopSendResult stopped = co_await service.send(processTarget(*identity), false);
        co_return std::pair{std::move(snapshot), std::move(stopped)};
    };
    const auto result = QCoro::waitFor(run());
    ASSERT_TRUE(result.has_value());
    const auto& [snapshot, stopped] = *result;

    EXPECT_NE(find(listenersOf(snapshot), child.pid(), child.port()), nullptr);
    EXPECT_TRUE(std::holds_alternative<StopSent>(stopped));
    EXPECT_TRUE(child.waitForExit(std::chrono::seconds(10)));
    const StopSendResult again = service.send(processTarget(*identity), false).result();
    ASSERT_TRUE(std::holds_alternative<PortServiceError>(again));
    EXPECT_EQ(std::get<PortServiceError>(again), PortServiceError::processExited());
}

}  // namespace
}  // namespace vantu
