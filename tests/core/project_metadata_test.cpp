#include "core/project_metadata.h"

#include <gtest/gtest.h>

#include <QSet>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

TEST(ProjectMetadataTest, NameSourceExplainsWhereTheNameCameFrom) {
    const QString manifest = QStringLiteral("/home/a/site/package.json");
    struct Case {
        ProjectMetadata project;
        QString expected;
    };
    const Case cases[] = {
        {{u"site"_s, u"/home/a/site"_s, manifest, true, true}, QStringLiteral("Project folder selected by you")},
        {{u"site"_s, u"/home/a/site"_s, std::nullopt, true, true}, QStringLiteral("Project folder selected by you")},
        {{u"site"_s, u"/home/a/site"_s, manifest, true, false}, QStringLiteral("Name from package.json")},
        {{u"site"_s, u"/home/a/site"_s, std::nullopt, true, false},
         QString::fromUtf8("Folder name (inferred) \xE2\x80\x94 choose a project folder to correct it")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.project.nameSource(), c.expected);
    }
}

TEST(ProjectMetadataTest, EqualityCoversEveryField) {
    const ProjectMetadata base{u"site"_s, u"/a/site"_s, std::nullopt, true, false};
    ProjectMetadata evidence = base;
    evidence.hasProjectEvidence = false;
    ProjectMetadata chosen = base;
    chosen.isUserSelected = true;
    ProjectMetadata manifest = base;
    manifest.manifest = u"/a/site/package.json"_s;
    ProjectMetadata folder = base;
    folder.directory = u"/b/site"_s;
    QSet<ProjectMetadata> set{base};
    for (const auto& other : {evidence, chosen, manifest, folder}) {
        EXPECT_NE(base, other);
        set.insert(other);
    }
    EXPECT_EQ(set.size(), 5);
}

}  // namespace
}  // namespace vantu
