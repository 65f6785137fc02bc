#include "service/snapshot_assembly.h"

#include "core/listener_facts.h"
#include "core/listener_parser.h"
#include "filter_records.h"
#include "rules/development_port_filter.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>
#include <limits>

namespace vantu {
namespace {

using test::project;
using test::withPath;

using namespace Qt::StringLiterals;

// Stands in for the resolver only to see what it is handed.
struct WatchedEnricher {
    int calls = 0;
    QList<Listener> received;
    ProjectOverrides overrides;
    std::optional<DiscoverySettings> settings;

    SnapshotAssembly::Enricher function() {
        return [this](QList<Listener> listeners, const ProjectOverrides& givenOverrides,
                      const DiscoverySettings& givenSettings) {
            ++calls;
            received = listeners;
            overrides = givenOverrides;
            settings = givenSettings;
            for (Listener& listener : listeners) {
                listener.workingDirectory = u"/seen"_s;
            }
            return listeners;
        };
    }
};

TEST(SnapshotAssemblyTest, NothingListeningIsAnEmptyListWithoutTheResolver) {
    WatchedEnricher enricher;
    const auto result =
        SnapshotAssembly::assemble(ListenerInventory{}, DiscoverySettings::defaults(), {}, enricher.function());
    ASSERT_TRUE(std::holds_alternative<ListenerInventory>(result));
    EXPECT_TRUE(std::get<ListenerInventory>(result).listeners.isEmpty());
    EXPECT_EQ(enricher.calls, 0);
}

TEST(SnapshotAssemblyTest, TheScansErrorIsTheSnapshotsError) {
    const ServiceError errors[] = {PortServiceError::scanTimedOut(), PortServiceError::scanFailed(u"lsof: boom\n"_s),
                                   LaunchError{u"No such file or directory"_s}};
    for (const ServiceError& error : errors) {
        WatchedEnricher enricher;
        const auto result = SnapshotAssembly::assemble(error, DiscoverySettings::defaults(), {}, enricher.function());
        ASSERT_TRUE(std::holds_alternative<ServiceError>(result));
        EXPECT_EQ(std::get<ServiceError>(result), error);
        EXPECT_EQ(enricher.calls, 0);
    }
}

TEST(SnapshotAssemblyTest, TheFoundListGoesToTheResolverWithTheCallersChoices) {
    const QString output = u"p2147483000\ncnode\nn*:8080\np2147483001\ncruby\nn127.0.0.1:3000\nn[::1]:3000\n"_s;
    const auto settings = std::get<DiscoverySettings>(DiscoverySettings::create(false, u"3000"_s, u"9000"_s));
    const ProjectOverrides overrides{{u"key"_s, u"/folder"_s}};
    WatchedEnricher enricher;

    const QList<ForeignPort> foreign{{.port = 22, .userID = 0}};
    const ListenerInventory found{
        .listeners = ListenerParser::parse(output, [](int32_t) { return std::optional<ProcessIdentity>(); }),
        .foreign = foreign,
    };

    const auto result = SnapshotAssembly::assemble(found, settings, overrides, enricher.function());

    ASSERT_TRUE(std::holds_alternative<ListenerInventory>(result));
    const auto& listeners = std::get<ListenerInventory>(result).listeners;
    EXPECT_EQ(std::get<ListenerInventory>(result).foreign, foreign);
    EXPECT_EQ(enricher.calls, 1);
    EXPECT_EQ(enricher.overrides, overrides);
    EXPECT_EQ(enricher.settings, settings);
    ASSERT_EQ(enricher.received.size(), 2);
    EXPECT_EQ(enricher.received.at(0).port, 3000);
    EXPECT_EQ(enricher.received.at(1).port, 8080);
    // What the resolver returns is the result.
    ASSERT_EQ(listeners.size(), 2);
    EXPECT_EQ(listeners.at(0).workingDirectory, u"/seen"_s);
    EXPECT_EQ(listeners.at(1).command, u"node"_s);
}

namespace Filter = DevelopmentPortFilter;

// The listener with what the snapshot reads of its process.
Listener withFacts(Listener listener) {
    QList<Listener> listeners{std::move(listener)};
    ListenerFacts::read(listeners, &Filter::isDevelopmentRuntime);
    return listeners.constFirst();
}

TEST(ListenerFactsTest, TheProcessIsAskedForItsExecutableWithTheSnapshot) {
    // A pid above any kernel's pid limit has no executable to find.
    const int32_t nobody = std::numeric_limits<int32_t>::max();
    const Listener gone{.pid = nobody,
                        .port = 8000,
                        .command = u"pythonw"_s,
                        .identity = ProcessIdentity{nobody, static_cast<uint32_t>(::getuid()), 1700000000, 7},
                        .project = project(true, false),
                        .workingDirectory = {}};
    EXPECT_FALSE(Filter::isAutomaticCandidate(withFacts(gone)));
    EXPECT_FALSE(Filter::includes(withFacts(gone)));

    test::SpawnedListener child = test::SpawnedListener::start({.commandName = u"pythonw"_s});
    const auto identity = ProcessIdentity::read(child.pid());
    ASSERT_TRUE(identity.has_value());
    Listener real{.pid = child.pid(),
                  .port = child.port(),
                  .command = u"pythonw"_s,
                  .identity = identity,
                  .project = project(true, false),
                  .workingDirectory = {}};
    // The test listener program lives in the build folder, outside every system folder.
    ASSERT_FALSE(QFileInfo(test::testListenerProgram()).canonicalFilePath().contains(u".app/"_s));
    EXPECT_TRUE(Filter::isAutomaticCandidate(withFacts(real)));
    EXPECT_TRUE(Filter::includes(withFacts(real)));
    // The same process with a system path passed in is refused: the passed path wins.
    EXPECT_FALSE(Filter::isAutomaticCandidate(withPath(real, u"/usr/sbin/pythonw"_s)));
    // Once the pid names another process instance, that one's executable is not asked.
    Listener reused = real;
    reused.identity->startSeconds -= 1;
    EXPECT_FALSE(Filter::isAutomaticCandidate(withFacts(reused)));
    EXPECT_FALSE(Filter::includes(withFacts(reused)));
}

TEST(ListenerFactsTest, SystemFoldersAreJudgedByTheWholeRealPath) {
    // A copy of the test listener in a folder that only ends like a system folder.
    QTemporaryDir folder(QCoreApplication::applicationDirPath() + u"/system-folder-XXXXXX"_s);
    ASSERT_TRUE(folder.isValid());
    ASSERT_TRUE(QDir(folder.path()).mkpath(u"usr/lib/helper"_s));
    const QString copy = folder.path() + u"/usr/lib/helper/helperd"_s;
    ASSERT_TRUE(QFile::copy(test::testListenerProgram(), copy));
    test::SpawnedListener child = test::SpawnedListener::start({.program = copy});
    const auto identity = ProcessIdentity::read(child.pid());
    ASSERT_TRUE(identity.has_value());
    const Listener real{.pid = child.pid(),
                        .port = child.port(),
                        .command = u"helperd"_s,
                        .identity = identity,
                        .project = project(true, false),
                        .workingDirectory = {}};
    EXPECT_TRUE(Filter::isAutomaticCandidate(withFacts(real)));
    EXPECT_TRUE(Filter::includes(withFacts(real)));
    // Installed in the system's own folder it would be one of the system's daemons.
    EXPECT_FALSE(Filter::isAutomaticCandidate(withPath(real, u"/usr/lib/helper/helperd"_s)));
    EXPECT_FALSE(Filter::includes(withPath(real, u"/usr/lib/helper/helperd"_s), DiscoverySettings::defaults()));
}

}  // namespace
}  // namespace vantu
