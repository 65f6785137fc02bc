#include "service/project_overrides.h"

#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// A hand edit left folders that are not text: the other choices still hold, a new choice is
// saved and read back, and the save cleans the file of what could never be a folder.
TEST(ProjectOverridesStorageTest, EntriesThatAreNotFoldersAreDroppedAndEveryChoiceHolds) {
    const QString path = platform::SettingsStore::standardPath();
    ASSERT_TRUE(path.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"({"discovery.automatic": false,
                   "discovery.projectFolders": {"node\u001f/a\u001f3000": "/a", "bad": 3, "gone": null}})");
    file.close();

    const QString kept = u"node\u001f/a\u001f3000"_s;
    const QString chosen = u"vite\u001f/b\u001f5173"_s;
    platform::SettingsStore settings(path);
    EXPECT_EQ(ProjectOverridesStorage::load(settings), (ProjectOverrides{{kept, u"/a"_s}}));

    ASSERT_EQ(ProjectOverridesStorage::saveChoice(settings, chosen, u"/b"_s), std::nullopt);
    const ProjectOverrides expected{{kept, u"/a"_s}, {chosen, u"/b"_s}};
    EXPECT_EQ(ProjectOverridesStorage::load(settings), expected);
    EXPECT_EQ(ProjectOverridesStorage::load(platform::SettingsStore(path)), expected);

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject stored = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(stored.value(ProjectOverridesStorage::kKey).toObject(),
              (QJsonObject{{kept, u"/a"_s}, {chosen, u"/b"_s}}));
    EXPECT_EQ(stored.value(u"discovery.automatic"_s), QJsonValue(false));
}

}  // namespace
}  // namespace vantu
