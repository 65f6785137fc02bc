#pragma once

#include "core/listener.h"
#include "core/process_identity.h"
#include "core/project_metadata.h"
#include "rules/discovery_settings.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vantu {

// Ties each listener to the folder its process runs in and to the project around that
// folder: the nearest package.json "name", else the name of the folder holding package.json
// or .git. It reads files that any process may point at, so every read is bounded. Keeps no
// state between calls.
namespace ProjectResolver {

// The walk up from a working directory looks at this many folders at most.
inline constexpr int kMaxFoldersExamined = 12;
// A server started inside a dependency is attributed to the project holding it.
inline constexpr QStringView kDependencyFolder = u"node_modules";
// A larger package.json is never read; it still counts as a project marker.
inline constexpr int64_t kMaxPackageBytes = 262'144;
// In user-perceived characters.
inline constexpr int kMaxNameLength = 120;

// The same listeners in the same order, each with its working directory and project where
// they were found. Only listeners that could ever be shown are examined, each process once,
// each working directory once. Never fails.
QList<Listener> enrich(QList<Listener> listeners, const ProjectOverrides& overrides = {},
                       const DiscoverySettings& settings = DiscoverySettings::defaults());

// The process's current working directory as a clean absolute path; absent when the process
// is gone, not ours to inspect, or its working directory was deleted.
std::optional<QString> workingDirectory(int32_t pid);

// The project that the absolute folder belongs to, if any. Neither the home folder nor "/"
// is ever a project.
std::optional<ProjectMetadata> resolve(const QString& folder);

// The folders at which the walk up stops: the home folder as given and, when it differs, as
// the file system resolves it (working directories always come resolved).
QStringList homeFolders();
std::optional<ProjectMetadata> resolve(const QString& folder, const QStringList& homes);

// Building blocks, exposed for tests.

// The top-level object of a package.json of at most kMaxPackageBytes; absent when the file is
// missing, not a regular file, too large, unreadable, not JSON, or not an object.
std::optional<QJsonObject> readPackage(const QString& path);
// The top-level object of package.json content; absent when it is not a JSON object.
std::optional<QJsonObject> parsePackage(const QByteArray& bytes);

// A name fit to show: control and format characters removed, white space trimmed, at most
// kMaxNameLength user-perceived characters. Absent when nothing is left.
std::optional<QString> cleanName(const std::optional<QString>& text);

}  // namespace ProjectResolver
}  // namespace vantu
