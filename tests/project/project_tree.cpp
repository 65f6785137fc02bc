#include "project_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace vantu::test {

ProjectTree::ProjectTree() : dir_(QDir::homePath() + QStringLiteral("/tree-XXXXXX")) {
    if (!dir_.isValid()) {
        throw std::runtime_error("cannot create a temporary folder tree");
    }
}

QString ProjectTree::path(const QString& relative) const {
    return relative.isEmpty() ? QDir::cleanPath(dir_.path()) : QDir::cleanPath(dir_.path() + u'/' + relative);
}

QString ProjectTree::folder(const QString& relative) const {
    const QString absolute = path(relative);
    if (!QDir().mkpath(absolute)) {
        throw std::runtime_error("cannot create a folder");
    }
    return absolute;
}

QString ProjectTree::file(const QString& relative, const QByteArray& content) const {
    const QString absolute = path(relative);
    QDir().mkpath(QFileInfo(absolute).path());
    QFile out(absolute);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(content) != content.size()) {
        throw std::runtime_error("cannot write a file");
    }
    return absolute;
}

QString ProjectTree::package(const QString& folderRelative, const QByteArray& jsonName) const {
    return file(folderRelative + QStringLiteral("/package.json"), "{\"name\": " + jsonName + ", \"private\": true}\n");
}

}  // namespace vantu::test
