#include "project/project_resolver.h"
#include "project_tree.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <future>

namespace vantu {
namespace {

using namespace Qt::StringLiterals;
namespace PR = ProjectResolver;

ProjectMetadata fromPackage(const QString& name, const QString& directory) {
    return {
        .name = name, .directory = directory, .manifest = directory + u"/package.json"_s, .hasProjectEvidence = true};
}

ProjectMetadata fromMarker(const QString& name, const QString& directory) {
    return {.name = name, .directory = directory, .hasProjectEvidence = true};
}

ProjectMetadata inferred(const QString& name, const QString& directory) {
    return {.name = name, .directory = directory};
}

TEST(CleanNameTest, RemovesControlsTrimsAndCutsAtOneHundredTwentyCharacters) {
    const QString combiningE = u"e\u0301"_s;  // one user-perceived character, two code units
    const QString flag = u"\U0001F1EB\U0001F1F7"_s;
    struct Case {
        const char* what;
        std::optional<QString> input;
        std::optional<QString> expected;
    };
    const Case cases[] = {
        {"absent stays absent", std::nullopt, std::nullopt},
        {"spaces and a line feed", u"  my-app\n"_s, u"my-app"_s},
        {"controls inside", u"my\u0007-a\tpp\u001F"_s, u"my-app"_s},
        {"a disguising direction override", u"app\u202Egnp.exe"_s, u"appgnp.exe"_s},
        {"only white space and controls", u" \n\t\u0000 \u00A0"_s, std::nullopt},
        {"empty", u""_s, std::nullopt},
        {"exactly 120", QString(120, u'a'), QString(120, u'a')},
        {"150 plain characters", QString(150, u'a'), QString(120, u'a')},
        {"combining marks count once", combiningE.repeated(130), combiningE.repeated(120)},
        {"flags count once", flag.repeated(121), flag.repeated(120)},
        {"inner spaces are kept", u"  my  app  "_s, u"my  app"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PR::cleanName(c.input), c.expected) << c.what;
    }
}

TEST(ReadPackageTest, ReadsOnlySmallRegularJsonObjects) {
    test::ProjectTree tree;
    const QByteArray padding(static_cast<qsizetype>(PR::kMaxPackageBytes), ' ');
    const QByteArray object = R"({"name":"x"})";
    // Exactly the limit is still read; one byte more is not.
    const QByteArray atLimit = object + padding.first(PR::kMaxPackageBytes - object.size());
    const QByteArray overLimit = atLimit + ' ';

    EXPECT_TRUE(PR::readPackage(tree.file(u"a/package.json"_s, atLimit)).has_value());
    EXPECT_FALSE(PR::readPackage(tree.file(u"b/package.json"_s, overLimit)).has_value());
    EXPECT_FALSE(PR::readPackage(tree.file(u"c/package.json"_s, "[1, 2]")).has_value());
    EXPECT_FALSE(PR::readPackage(tree.file(u"d/package.json"_s, "{\"name\": ")).has_value());
    EXPECT_FALSE(PR::readPackage(tree.file(u"e/package.json"_s, QByteArray(100'000, '['))).has_value());
    EXPECT_FALSE(PR::readPackage(tree.path(u"missing/package.json"_s)).has_value());
    EXPECT_FALSE(PR::readPackage(tree.folder(u"f/package.json"_s)).has_value());
    EXPECT_FALSE(PR::readPackage(u"/dev/zero"_s).has_value());

    const auto read = PR::readPackage(tree.file(u"g/package.json"_s, R"({"name": "site", "version": "1.0.0"})"));
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->value(u"version"_s).toString(), u"1.0.0"_s);
}

TEST(ReadPackageTest, FollowsALinkToARegularFile) {
    test::ProjectTree tree;
    const QString real = tree.package(u"shared"_s, R"("linked-app")");
    tree.folder(u"app"_s);
    ASSERT_TRUE(QFile::link(real, tree.path(u"app/package.json"_s)));
    EXPECT_EQ(PR::resolve(tree.path(u"app"_s)), fromPackage(u"linked-app"_s, tree.path(u"app"_s)));
}

TEST(ResolveTest, NamesTheProjectFromTheNearestPackageJson) {
    test::ProjectTree tree;
    tree.package(u"site"_s, R"("  my-app\n")");
    const QString start = tree.folder(u"site/src/server"_s);
    const auto project = PR::resolve(start);
    EXPECT_EQ(project, fromPackage(u"my-app"_s, tree.path(u"site"_s)));
    EXPECT_EQ(project->nameSource(), u"Name from package.json"_s);
}

TEST(ResolveTest, CutsLongNamesFromPackageJson) {
    test::ProjectTree tree;
    tree.package(u"site"_s, '"' + QByteArray(300, 'n') + '"');
    EXPECT_EQ(PR::resolve(tree.path(u"site"_s)), fromPackage(QString(120, u'n'), tree.path(u"site"_s)));
}

TEST(ResolveTest, AnUnusablePackageJsonIsOnlyAMarker) {
    struct Case {
        const char* what;
        QByteArray content;
    };
    const Case cases[] = {
        {"300 KB", "{\"name\": \"big\", \"pad\": \"" + QByteArray(300'000, 'x') + "\"}"},
        {"not JSON", "{name: big}"},
        {"a number for a name", R"({"name": 42})"},
        {"no name", R"({"version": "1.0.0"})"},
        {"a blank name", R"({"name": " \n "})"},
        {"binary", QByteArray("\x00\xff\xfe{", 4)},
    };
    for (const auto& c : cases) {
        test::ProjectTree tree;
        tree.file(u"site/package.json"_s, c.content);
        const QString start = tree.folder(u"site/server"_s);
        const auto project = PR::resolve(start);
        EXPECT_EQ(project, fromMarker(u"site"_s, tree.path(u"site"_s))) << c.what;
        EXPECT_EQ(project->nameSource(), u"Folder name (inferred) \u2014 choose a project folder to correct it"_s);
    }
}

TEST(ResolveTest, GitAsAFolderOrAFileMarksTheProject) {
    test::ProjectTree tree;
    tree.folder(u"repo/.git"_s);
    tree.file(u"worktree/.git"_s, "gitdir: /elsewhere\n");
    EXPECT_EQ(PR::resolve(tree.folder(u"repo/app"_s)), fromMarker(u"repo"_s, tree.path(u"repo"_s)));
    EXPECT_EQ(PR::resolve(tree.folder(u"worktree/app"_s)), fromMarker(u"worktree"_s, tree.path(u"worktree"_s)));
}

TEST(ResolveTest, TheNearestMarkerWins) {
    test::ProjectTree tree;
    tree.folder(u"mono/.git"_s);
    tree.package(u"mono/packages/web"_s, R"("web")");
    EXPECT_EQ(PR::resolve(tree.folder(u"mono/packages/web/dist"_s)),
              fromPackage(u"web"_s, tree.path(u"mono/packages/web"_s)));
    EXPECT_EQ(PR::resolve(tree.folder(u"mono/packages/api"_s)), fromMarker(u"mono"_s, tree.path(u"mono"_s)));
}

TEST(ResolveTest, AServerInsideNodeModulesBelongsToTheProjectAbove) {
    test::ProjectTree tree;
    tree.package(u"site"_s, R"("site")");
    tree.package(u"site/node_modules/vite"_s, R"("vite")");
    tree.package(u"site/node_modules/vite/node_modules/esbuild"_s, R"("esbuild")");
    EXPECT_EQ(PR::resolve(tree.folder(u"site/node_modules/vite"_s)), fromPackage(u"site"_s, tree.path(u"site"_s)));
    EXPECT_EQ(PR::resolve(tree.folder(u"site/node_modules/vite/node_modules/esbuild/bin"_s)),
              fromPackage(u"site"_s, tree.path(u"site"_s)));
    // Without a marker the cut folder itself is the guess, not the dependency.
    EXPECT_EQ(PR::resolve(tree.folder(u"plain/node_modules/.bin"_s)), inferred(u"plain"_s, tree.path(u"plain"_s)));
}

TEST(ResolveTest, TheHomeFolderAndTheRootAreNeverProjects) {
    test::ProjectTree tree;
    const QString home = QDir::homePath();
    const QString homePackage = tree.file(u"../package.json"_s, R"({"name": "home"})");
    EXPECT_EQ(PR::resolve(home), std::nullopt);
    EXPECT_EQ(PR::resolve(home + u"/"_s), std::nullopt);
    EXPECT_EQ(PR::resolve(home + u"/node_modules/x"_s), std::nullopt);
    EXPECT_EQ(PR::resolve(u"/"_s), std::nullopt);
    EXPECT_EQ(PR::resolve(u"/node_modules/vite"_s), std::nullopt);
    EXPECT_EQ(PR::resolve(u"relative/folder"_s), std::nullopt);
    // The walk stops at the home folder: its package.json names nothing below it.
    EXPECT_EQ(PR::resolve(tree.folder(u"loose"_s)), inferred(u"loose"_s, tree.path(u"loose"_s)));
    QFile::remove(homePackage);
}

TEST(ResolveTest, TheHomeFolderStopsTheWalkAlsoWhenReachedThroughALink) {
    test::ProjectTree tree;
    const QString real = tree.folder(u"real-home"_s);
    const QString link = tree.path(u"home-link"_s);
    ASSERT_TRUE(QFile::link(real, link));
    tree.file(u"package.json"_s, R"({"name": "above-home"})");
    const QStringList homes{link, real};
    EXPECT_EQ(PR::resolve(real, homes), std::nullopt);
    EXPECT_EQ(PR::resolve(tree.folder(u"real-home/code"_s), homes),
              inferred(u"code"_s, tree.path(u"real-home/code"_s)));
}

TEST(ResolveTest, TheWalkExaminesTwelveFoldersAtMost) {
    test::ProjectTree tree;
    tree.package(u"top"_s, R"("top")");
    QString eleven = u"top"_s;
    for (int level = 1; level <= 11; ++level) {
        eleven += u"/l"_s + QString::number(level);
    }
    const QString twelve = eleven + u"/l12"_s;
    EXPECT_EQ(PR::resolve(tree.folder(eleven)), fromPackage(u"top"_s, tree.path(u"top"_s)));
    EXPECT_EQ(PR::resolve(tree.folder(twelve)), inferred(u"l12"_s, tree.path(twelve)));
    EXPECT_EQ(PR::resolve(tree.folder(twelve + u"/l13/l14"_s)), inferred(u"l14"_s, tree.path(twelve + u"/l13/l14"_s)));
}

TEST(ResolveTest, AFifoNamedPackageJsonDoesNotHang) {
    test::ProjectTree tree;
    const QString fifo = tree.folder(u"site"_s) + u"/package.json"_s;
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    auto resolving = std::async(std::launch::async, [&] { return PR::resolve(tree.path(u"site"_s)); });
    if (resolving.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
        // Release the blocked reader so the test can end.
        const int writer = ::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK);
        ::close(writer);
        FAIL() << "reading a FIFO named package.json blocked";
    }
    EXPECT_EQ(resolving.get(), fromMarker(u"site"_s, tree.path(u"site"_s)));
}

TEST(WorkingDirectoryTest, ReadsTheFolderAProcessRunsIn) {
    test::ProjectTree tree;
    const QString folder = tree.folder(u"server dir/with spaces"_s);
    test::SpawnedListener child = test::SpawnedListener::start({.workingDirectory = folder});
    EXPECT_EQ(PR::workingDirectory(child.pid()), folder);
    child.kill();
    EXPECT_EQ(PR::workingDirectory(child.pid()), std::nullopt);
}

TEST(WorkingDirectoryTest, ADeletedWorkingDirectoryIsAbsent) {
    test::ProjectTree tree;
    const QString folder = tree.folder(u"gone"_s);
    test::SpawnedListener child = test::SpawnedListener::start({.workingDirectory = folder});
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(PR::workingDirectory(child.pid()), std::nullopt);
}

}  // namespace
}  // namespace vantu
