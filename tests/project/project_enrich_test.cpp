#include "core/process_identity.h"
#include "project/project_resolver.h"
#include "project_tree.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QDir>

namespace vantu {
namespace {

using namespace Qt::StringLiterals;
namespace PR = ProjectResolver;

// What the parser would have made of one port of a live child.
Listener listenerOf(const test::SpawnedListener& child, uint16_t port, const QString& command = u"node"_s) {
    return Listener{
        .pid = child.pid(), .port = port, .command = command, .identity = ProcessIdentity::read(child.pid())};
}

QString overrideKey(Listener listener, const QString& workingDirectory) {
    listener.workingDirectory = workingDirectory;
    return *listener.projectOverrideKey();
}

DiscoverySettings including(const QString& ports) {
    return std::get<DiscoverySettings>(DiscoverySettings::create(true, ports, {}));
}

TEST(EnrichTest, ListenersOfOneProcessShareOneIdentification) {
    test::ProjectTree tree;
    tree.package(u"site"_s, R"("my-app")");
    const QString folder = tree.folder(u"site/server"_s);
    test::SpawnedListener child = test::SpawnedListener::start({.ports = {0, 0}, .workingDirectory = folder});
    test::SpawnedListener neighbour = test::SpawnedListener::start({.workingDirectory = folder});

    const QList<Listener> parsed{listenerOf(child, child.ports().at(0)), listenerOf(neighbour, neighbour.port()),
                                 listenerOf(child, child.ports().at(1))};
    const QList<Listener> enriched = PR::enrich(parsed);

    ASSERT_EQ(enriched.size(), 3);
    const ProjectMetadata expected{.name = u"my-app"_s,
                                   .directory = tree.path(u"site"_s),
                                   .manifest = tree.path(u"site/package.json"_s),
                                   .hasProjectEvidence = true};
    for (qsizetype i = 0; i < enriched.size(); ++i) {
        EXPECT_EQ(enriched.at(i).id(), parsed.at(i).id()) << "order kept";
        EXPECT_EQ(enriched.at(i).project, expected) << i;
        EXPECT_EQ(enriched.at(i).workingDirectory, folder) << i;
    }
}

TEST(EnrichTest, AProcessThatExitedOrWasReplacedGetsNothing) {
    test::ProjectTree tree;
    const QString folder = tree.folder(u"repo/.git"_s).chopped(5);
    test::SpawnedListener exiting = test::SpawnedListener::start({.workingDirectory = folder});
    test::SpawnedListener replaced = test::SpawnedListener::start({.workingDirectory = folder});
    const Listener parsedWhileAlive = listenerOf(exiting, exiting.port());
    exiting.kill();
    // Same pid, but an earlier start: the process the listing saw is not the one living now.
    Listener olderInstance = listenerOf(replaced, replaced.port());
    olderInstance.identity =
        ProcessIdentity{olderInstance.identity->pid, olderInstance.identity->userID,
                        olderInstance.identity->startSeconds - 1, olderInstance.identity->startMicroseconds};

    for (const Listener& listener : PR::enrich({parsedWhileAlive, olderInstance})) {
        EXPECT_EQ(listener.project, std::nullopt) << listener.pid;
        EXPECT_EQ(listener.workingDirectory, std::nullopt) << listener.pid;
    }
}

TEST(EnrichTest, ListenersThatCanNeverBeShownAreNotExamined) {
    test::ProjectTree tree;
    tree.package(u"site"_s, R"("site")");
    test::SpawnedListener child = test::SpawnedListener::start({.workingDirectory = tree.path(u"site"_s)});

    // Examining a listener would replace these; passing it on unchanged keeps them.
    const ProjectMetadata marker{.name = u"untouched"_s, .directory = u"/nowhere"_s};
    Listener otherUser = listenerOf(child, child.port());
    otherUser.identity->userID += 1;
    Listener noIdentity = listenerOf(child, child.port());
    noIdentity.identity.reset();
    // A known system service is no candidate; only an include rule for its port makes it one.
    Listener service = listenerOf(child, child.port(), u"sharingd"_s);
    for (Listener* listener : {&otherUser, &noIdentity, &service}) {
        listener->project = marker;
        listener->workingDirectory = u"/nowhere"_s;
    }

    const QList<Listener> untouched = PR::enrich({otherUser, noIdentity, service});
    EXPECT_EQ(untouched, (QList<Listener>{otherUser, noIdentity, service}));

    const QList<Listener> included = PR::enrich({service}, {}, including(QString::number(child.port())));
    EXPECT_EQ(included.at(0).project.value_or(ProjectMetadata{}).name, u"site"_s);
}

TEST(EnrichTest, AProcessInTheHomeFolderHasAWorkingDirectoryButNoProject) {
    test::SpawnedListener child = test::SpawnedListener::start({.workingDirectory = QDir::homePath()});
    const QList<Listener> enriched = PR::enrich({listenerOf(child, child.port())});
    EXPECT_EQ(enriched.at(0).project, std::nullopt);
    EXPECT_EQ(enriched.at(0).workingDirectory, QDir::cleanPath(QDir::homePath()));
}

TEST(EnrichTest, AChosenFolderReplacesTheDetectedProject) {
    test::ProjectTree tree;
    tree.package(u"detected"_s, R"("detected")");
    tree.package(u"chosen-with-package"_s, R"(" named\n")");
    const QString bare = tree.folder(u"  chosen bare "_s);
    const QString aFile = tree.file(u"not-a-folder"_s, "x");
    const QString folder = tree.folder(u"detected/app"_s);
    test::SpawnedListener child = test::SpawnedListener::start({.workingDirectory = folder});
    const Listener parsed = listenerOf(child, child.port());
    const QString key = overrideKey(parsed, folder);
    const ProjectMetadata detected{.name = u"detected"_s,
                                   .directory = tree.path(u"detected"_s),
                                   .manifest = tree.path(u"detected/package.json"_s),
                                   .hasProjectEvidence = true};

    struct Case {
        const char* what;
        QString chosenPath;
        ProjectMetadata expected;
    };
    const Case cases[] = {
        {"a folder with package.json",
         tree.path(u"chosen-with-package"_s) + u"/"_s,
         {u"named"_s, tree.path(u"chosen-with-package"_s), tree.path(u"chosen-with-package/package.json"_s), true,
          true}},
        {"a folder without, named verbatim", bare, {u"  chosen bare "_s, bare, std::nullopt, true, true}},
        {"a missing folder is ignored", tree.path(u"deleted"_s), detected},
        {"a file is ignored", aFile, detected},
        {"a relative path is ignored", u"detected"_s, detected},
    };
    for (const auto& c : cases) {
        const QList<Listener> enriched = PR::enrich({parsed}, {{key, c.chosenPath}});
        EXPECT_EQ(enriched.at(0).project, c.expected) << c.what;
        EXPECT_EQ(enriched.at(0).workingDirectory, folder) << c.what;
    }

    // A choice made for another port of the same command and folder does not apply.
    const QString otherKey = overrideKey(Listener{.pid = parsed.pid, .port = 1, .command = parsed.command}, folder);
    EXPECT_EQ(PR::enrich({parsed}, {{otherKey, bare}}).at(0).project, detected);
}

TEST(EnrichTest, AChoiceAppliesWhereNothingWasDetected) {
    test::ProjectTree tree;
    const QString chosen = tree.folder(u"mine"_s);
    test::SpawnedListener child = test::SpawnedListener::start({.workingDirectory = QDir::homePath()});
    const Listener parsed = listenerOf(child, child.port());
    const auto enriched = PR::enrich({parsed}, {{overrideKey(parsed, QDir::cleanPath(QDir::homePath())), chosen}});
    EXPECT_EQ(enriched.at(0).project, (ProjectMetadata{u"mine"_s, chosen, std::nullopt, true, true}));
    EXPECT_EQ(enriched.at(0).project->nameSource(), u"Project folder selected by you"_s);
}

}  // namespace
}  // namespace vantu
