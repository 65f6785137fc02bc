#include "service/snapshot_assembly.h"

#include "core/listener_parser.h"

#include <gtest/gtest.h>

namespace vantu {
namespace {

using namespace Qt::StringLiterals;

// Stands in for the resolver only to see what it is handed.
struct WatchedEnricher {
    int calls = 0;
    QList<Listener> received;
    QMap<QString, QString> overrides;
    std::optional<DiscoverySettings> settings;

    SnapshotAssembly::Enricher function() {
        return [this](QList<Listener> listeners, const QMap<QString, QString>& givenOverrides,
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
    const QMap<QString, QString> overrides{{u"key"_s, u"/folder"_s}};
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

}  // namespace
}  // namespace vantu
