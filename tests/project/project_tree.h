#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace vantu::test {

// A real folder tree for one test, under the test's private home folder so that no walk up
// from it can reach a marker outside the test.
class ProjectTree {
public:
    ProjectTree();

    // Absolute path of `relative` inside the tree (the tree's root for an empty text).
    [[nodiscard]] QString path(const QString& relative = {}) const;
    // Creates the folder and its parents; returns its absolute path.
    QString folder(const QString& relative) const;
    // Writes the file, creating its folder; returns its absolute path.
    QString file(const QString& relative, const QByteArray& content) const;
    // A package.json holding just this name (already JSON-encoded, e.g. R"("my-app")").
    QString package(const QString& folderRelative, const QByteArray& jsonName) const;

private:
    QTemporaryDir dir_;
};

}  // namespace vantu::test
