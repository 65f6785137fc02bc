#include "store_fixture.h"

#include "service/project_overrides.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

class ProjectFolderTest : public StoreFixture {
protected:
    void SetUp() override { makeStore(); }

    // Picks `folder` in the chooser for the listener, and ends the refresh that follows.
    void choose(const Listener& listener, const QString& chosen) {
        const size_t calls = chooserCalls.size();
        const size_t scans = service->snapshots.size();
        store->chooseProjectFolder(listener);
        ASSERT_EQ(chooserCalls.size(), calls + 1);
        chooserCalls.back().answer(chosen);
        ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() > scans; }));
        service->finishSnapshot(service->snapshots.size() - 1, {});
    }

    void reset(const Listener& listener) {
        const size_t scans = service->snapshots.size();
        store->resetProjectFolder(listener);
        ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() > scans; }));
        service->finishSnapshot(service->snapshots.size() - 1, {});
    }

    // The overrides that a new refresh hands to the scan.
    ProjectOverrides overridesOfNextScan() {
        const size_t scans = service->snapshots.size();
        store->refresh();
        EXPECT_TRUE(waitUntil([&] { return service->snapshots.size() > scans; }));
        if (service->snapshots.size() <= scans) {
            return {};
        }
        service->finishSnapshot(scans, {});
        return service->snapshots[scans].overrides;
    }

    // What the settings file holds under the overrides key, read past the settings store.
    QJsonValue storedOverrides() const {
        QFile file(settingsPath());
        if (!file.open(QIODevice::ReadOnly)) {
            return QJsonValue(QJsonValue::Undefined);
        }
        return QJsonDocument::fromJson(file.readAll()).object().value(ProjectOverridesStorage::kKey);
    }

    void writeSettingsFile(const QByteArray& json) {
        destroyStore();
        settings.reset();
        QFile file(settingsPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(json);
        file.close();
        makeStoreOverFreshSettings();
    }

    const Listener site = devListener(4200301, 5173, u"node"_s, u"/home/a/site"_s);
    const Listener sameFolderOtherPort = devListener(4200301, 5174, u"node"_s, u"/home/a/site"_s);
    const Listener withoutFolder = devListener(4200302, 8080);
};

TEST_F(ProjectFolderTest, TheChooserAsksForAFolderNamingCommandAndPort) {
    store->chooseProjectFolder(site);
    ASSERT_EQ(chooserCalls.size(), 1U);
    const FolderChoiceRequest& request = chooserCalls[0].request;
    EXPECT_EQ(request.title, u"Choose Project Folder"_s);
    EXPECT_EQ(request.message, u"Use this folder to identify node on port 5173."_s);
    EXPECT_EQ(request.prompt, u"Use Project"_s);
    EXPECT_EQ(request.startFolder, u"/home/a/site"_s);

    // A known project starts the chooser in its folder rather than the working directory.
    Listener withProject = devListener(4200303, 80, u"my %2 server"_s, u"/home/a/site/sub"_s);
    withProject.project = ProjectMetadata{u"site"_s, u"/home/a/site"_s, std::nullopt, true, false};
    store->chooseProjectFolder(withProject);
    ASSERT_EQ(chooserCalls.size(), 2U);
    EXPECT_EQ(chooserCalls[1].request.message, u"Use this folder to identify my %2 server on port 80."_s);
    EXPECT_EQ(chooserCalls[1].request.startFolder, u"/home/a/site"_s);
    drainEvents();
    EXPECT_TRUE(service->snapshots.empty()) << "nothing changes until the user answers";
}

TEST_F(ProjectFolderTest, AChosenFolderIsStoredAndRefreshes) {
    choose(site, u"/home/a/pinned"_s);
    const ProjectOverrides expected{{*site.projectOverrideKey(), u"/home/a/pinned"_s}};
    EXPECT_EQ(service->snapshots.back().overrides, expected);
    EXPECT_EQ(storedOverrides(), QJsonObject({{*site.projectOverrideKey(), u"/home/a/pinned"_s}}));
    EXPECT_EQ(layoutChanges, 0) << "the refresh reports the layout when its pass ends";
}

TEST_F(ProjectFolderTest, EachPortHasItsOwnOverrideAndANewChoiceReplacesTheOld) {
    choose(site, u"/home/a/one"_s);
    choose(sameFolderOtherPort, u"/home/a/two"_s);
    choose(site, u"/home/a/three"_s);
    const ProjectOverrides expected{{*site.projectOverrideKey(), u"/home/a/three"_s},
                                    {*sameFolderOtherPort.projectOverrideKey(), u"/home/a/two"_s}};
    EXPECT_EQ(overridesOfNextScan(), expected);
    EXPECT_EQ(storedOverrides().toObject().size(), 2);
}

TEST_F(ProjectFolderTest, CancellingChangesNothing) {
    store->chooseProjectFolder(site);
    ASSERT_EQ(chooserCalls.size(), 1U);
    chooserCalls[0].answer(std::nullopt);
    drainEvents();
    EXPECT_TRUE(service->snapshots.empty());
    EXPECT_TRUE(storedOverrides().isUndefined());
}

TEST_F(ProjectFolderTest, AListenerWithoutWorkingDirectoryHasNothingToPin) {
    store->chooseProjectFolder(withoutFolder);
    store->resetProjectFolder(withoutFolder);
    drainEvents();
    EXPECT_TRUE(chooserCalls.empty());
    EXPECT_TRUE(service->snapshots.empty());
    EXPECT_TRUE(storedOverrides().isUndefined());
}

TEST_F(ProjectFolderTest, ResettingRemovesTheEntryAndLeavesAnEmptyObject) {
    choose(site, u"/home/a/one"_s);
    choose(sameFolderOtherPort, u"/home/a/two"_s);
    reset(site);
    EXPECT_EQ(service->snapshots.back().overrides,
              (ProjectOverrides{{*sameFolderOtherPort.projectOverrideKey(), u"/home/a/two"_s}}));
    reset(sameFolderOtherPort);
    EXPECT_TRUE(service->snapshots.back().overrides.isEmpty());
    ASSERT_TRUE(storedOverrides().isObject());
    EXPECT_TRUE(storedOverrides().toObject().isEmpty());
}

TEST_F(ProjectFolderTest, ResettingWithoutAnOverrideStillWritesAndRefreshes) {
    reset(site);
    ASSERT_TRUE(storedOverrides().isObject());
    EXPECT_TRUE(storedOverrides().toObject().isEmpty());
}

TEST_F(ProjectFolderTest, AFailedSaveIsShownAndStaysThroughTheRefreshItAskedFor) {
    // Where the settings folder should be, a plain file: nothing can be saved under it.
    const QString folder = QFileInfo(settingsPath()).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    choose(site, u"/home/a/pinned"_s);

    const QString expected = u"Couldn\u2019t save settings: Not a directory."_s;
    ASSERT_TRUE(waitUntil([&] { return !store->isRefreshing(); }));
    EXPECT_EQ(store->errorMessage(), expected);
    // The choice still holds for this run.
    EXPECT_EQ(service->snapshots.back().overrides,
              (ProjectOverrides{{*site.projectOverrideKey(), u"/home/a/pinned"_s}}));
    QFile::remove(folder);
}

TEST_F(ProjectFolderTest, ChoicesAreInForceInTheNextRunsFirstScan) {
    choose(site, u"/home/a/pinned"_s);
    makeStoreOverFreshSettings();
    EXPECT_EQ(overridesOfNextScan(), (ProjectOverrides{{*site.projectOverrideKey(), u"/home/a/pinned"_s}}));
}

TEST_F(ProjectFolderTest, EntriesThatAreNotPathsAreLeftOut) {
    const QByteArray key = site.projectOverrideKey()->toUtf8().replace('\x1f', "\\u001f");
    writeSettingsFile(R"({"discovery.projectFolders": {")" + key + R"(": "/home/a/pinned"}})");
    const ProjectOverrides pinned{{*site.projectOverrideKey(), u"/home/a/pinned"_s}};
    EXPECT_EQ(overridesOfNextScan(), pinned);

    // One entry of the wrong shape costs that entry only; a map of the wrong shape, everything.
    const std::pair<QByteArray, ProjectOverrides> wrongShapes[] = {
        {R"({"discovery.projectFolders": {")" + key + R"(": "/home/a/pinned", "other": 3}})", pinned},
        {R"({"discovery.projectFolders": {"a": "/x", "b": null}})", {{u"a"_s, u"/x"_s}}},
        {R"({"discovery.projectFolders": {"a": {"nested": "/x"}}})", {}},
        {R"({"discovery.projectFolders": "/home/a/pinned"})", {}},
        {R"({"discovery.projectFolders": ["/home/a/pinned"]})", {}},
        {R"(not json)", {}},
    };
    for (const auto& [json, expected] : wrongShapes) {
        SCOPED_TRACE(json.toStdString());
        writeSettingsFile(json);
        EXPECT_EQ(overridesOfNextScan(), expected);
    }
}

TEST_F(ProjectFolderTest, AnAnswerArrivingAfterTheStoreIsGoneIsDropped) {
    store->chooseProjectFolder(site);
    store->chooseProjectFolder(sameFolderOtherPort);
    ASSERT_EQ(chooserCalls.size(), 2U);
    // Answered while the store exists, but the store goes before the answer is applied.
    chooserCalls[0].answer(u"/home/a/one"_s);
    destroyStore();
    chooserCalls[1].answer(u"/home/a/two"_s);
    drainEvents();
    EXPECT_TRUE(service->snapshots.empty());
    EXPECT_TRUE(storedOverrides().isUndefined());
}

}  // namespace
}  // namespace vantu::test
