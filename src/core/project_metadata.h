#pragma once

#include <QMap>
#include <QString>

#include <optional>

namespace vantu {

// Names the project a listening process belongs to, and says how sure we are of it.
struct ProjectMetadata {
    QString name;
    // Absolute path of the project folder, without a trailing slash.
    QString directory;
    // The package.json whose "name" gave `name`; absent when the name is a folder's name.
    std::optional<QString> manifest;
    // A package.json or .git was found, or the user chose the folder.
    bool hasProjectEvidence = false;
    bool isUserSelected = false;

    // Explains to the user where the name came from.
    [[nodiscard]] QString nameSource() const;

    friend bool operator==(const ProjectMetadata&, const ProjectMetadata&) = default;
};

size_t qHash(const ProjectMetadata& project, size_t seed = 0) noexcept;

// The user's project folder choices: Listener::projectOverrideKey() → folder path.
using ProjectOverrides = QMap<QString, QString>;

}  // namespace vantu
