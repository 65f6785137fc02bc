#include "cli/listener_report.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace vantu::cli {
namespace {

QList<Listener> sample() {
    Listener node{
        .pid = 4312, .port = 5173, .command = u"node"_s, .identity = ProcessIdentity{4312, 501, 1700000000, 7}};
    node.workingDirectory = u"/home/a/site/web"_s;
    node.project = ProjectMetadata{u"my-app"_s, u"/home/a/site"_s, u"/home/a/site/package.json"_s, true, false};
    Listener bare{.pid = 77, .port = 50000, .command = u"ruby"_s};
    return {node, bare};
}

TEST(ListenerReportTest, TableAlignsColumnsAndMarksMissingValues) {
    // Started 2 h 14 min 5 s before "now".
    EXPECT_EQ(formatTable(sample(), 1700000000 + 8045),
              u" PORT   PID  UPTIME  COMMAND  PROJECT  FOLDER\n"
              u" 5173  4312   2h14m  node     my-app   /home/a/site\n"
              u"50000    77       -  ruby     -        -\n"_s);
    // On a narrow terminal the widest text gives way first: the folder keeps its end.
    QList<Listener> deep = sample();
    deep.front().project->directory = u"/home/a/clients/acme-corporation/site"_s;
    EXPECT_EQ(formatTable(deep, 1700000000 + 8045, 60),
              u" PORT   PID  UPTIME  COMMAND  PROJECT  FOLDER\n"
              u" 5173  4312   2h14m  node     my-app   \u2026cme-corporation/site\n"
              u"50000    77       -  ruby     -        -\n"_s);
    EXPECT_EQ(formatTable(deep, 1700000000 + 8045, 200), formatTable(deep, 1700000000 + 8045));
}

TEST(ListenerReportTest, JsonCarriesEveryFact) {
    Listener withMemory = sample().front();
    withMemory.residentBytes = 184'000'000;
    const QJsonObject report = toJson({withMemory, sample().back()}, {ForeignPort{.port = 631}}, 1700000000 + 8045,
                                      {u"https://localhost:5173/"_s}, DiscoverySettings::defaults());
    const QJsonArray array = report[u"listeners"_s].toArray();
    ASSERT_EQ(array.size(), 3);
    const QJsonObject node = array.at(0).toObject();
    EXPECT_EQ(node[u"port"_s].toInt(), 5173);
    EXPECT_EQ(node[u"pid"_s].toInt(), 4312);
    EXPECT_EQ(node[u"command"_s].toString(), u"node"_s);
    EXPECT_EQ(node[u"displayName"_s].toString(), u"my-app"_s);
    EXPECT_EQ(node[u"detail"_s].toString(), u"node \u00B7 PID 4312"_s);
    EXPECT_EQ(node[u"workingDirectory"_s].toString(), u"/home/a/site/web"_s);
    EXPECT_FALSE(node[u"canTerminate"_s].toBool());  // uid 501 is not the test's user
    const QJsonObject project = node[u"project"_s].toObject();
    EXPECT_EQ(project[u"name"_s].toString(), u"my-app"_s);
    EXPECT_EQ(project[u"directory"_s].toString(), u"/home/a/site"_s);
    EXPECT_EQ(project[u"manifest"_s].toString(), u"/home/a/site/package.json"_s);
    EXPECT_EQ(project[u"nameSource"_s].toString(), u"packageJson"_s);
    EXPECT_TRUE(project[u"hasProjectEvidence"_s].toBool());
    const QJsonObject identity = node[u"identity"_s].toObject();
    EXPECT_EQ(identity[u"startSeconds"_s].toInteger(), 1700000000);
    EXPECT_EQ(identity[u"startMicroseconds"_s].toInteger(), 7);
    EXPECT_EQ(identity[u"userID"_s].toInteger(), 501);
    EXPECT_EQ(node[u"startedAt"_s].toString(), u"2023-11-14T22:13:20.000Z"_s);
    EXPECT_EQ(node[u"uptimeSeconds"_s].toInteger(), 8045);
    EXPECT_EQ(node[u"residentBytes"_s].toInteger(), 184'000'000);
    EXPECT_EQ(node[u"url"_s].toString(), u"https://localhost:5173/"_s);

    const QJsonObject bare = array.at(1).toObject();
    EXPECT_TRUE(bare[u"project"_s].isNull());
    EXPECT_TRUE(bare[u"identity"_s].isNull());
    EXPECT_TRUE(bare[u"workingDirectory"_s].isNull());
    for (const auto* unknown : {"startedAt", "uptimeSeconds", "residentBytes", "url"}) {
        EXPECT_TRUE(bare[QLatin1StringView(unknown)].isNull()) << unknown;
    }
    EXPECT_EQ(bare[u"displayName"_s].toString(), u"ruby"_s);
    EXPECT_TRUE(bare[u"address"_s].isNull() && !array.at(2)[u"isDevServer"_s].toBool(true));
    withMemory.project->isUserSelected = true;
    EXPECT_EQ(toJson({withMemory}, {}, 0, {},
                     DiscoverySettings::defaults())[u"listeners"_s][0][u"project"_s][u"nameSource"_s],
              u"override"_s);
}

}  // namespace
}  // namespace vantu::cli
