#include "project/project_resolver.h"

#include "platform/file_system.h"
#include "platform/process.h"
#include "rules/development_port_filter.h"

#include <QDir>
#include <QHash>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QJsonValue>
#include <QSet>
#include <QTextBoundaryFinder>

namespace vantu::ProjectResolver {
namespace {

QString lastPathComponent(const QString& path) {
    if (path == u"/") {
        return path;
    }
    return path.sliced(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString parentFolder(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.first(slash);
}

QString childPath(const QString& folder, QStringView name) {
    if (folder == u"/") {
        return u"/" + name;
    }
    return folder + u'/' + name;
}

// A server started inside a dependency folder belongs to the project holding the
// dependencies: cut the path before the first node_modules.
QString originOf(const QString& start) {
    const QStringList parts = start.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const qsizetype cut = parts.indexOf(kDependencyFolder);
    if (cut < 0) {
        return start;
    }
    return QString(u"/" + parts.first(cut).join(QLatin1Char('/')));
}

std::optional<QString> nameFromPackage(const QString& manifest) {
    const auto package = readPackage(manifest);
    if (!package) {
        return std::nullopt;
    }
    const QJsonValue name = package->value(QLatin1StringView("name"));
    if (!name.isString()) {
        return std::nullopt;
    }
    return cleanName(name.toString());
}

bool isSameProcess(const ProcessIdentity& identity) {
    return ProcessIdentity::read(identity.pid) == identity;
}

struct FoundProject {
    QString workingDirectory;
    std::optional<ProjectMetadata> project;
};

// The working directory of a process whose identity was just read live, with the project
// around it (each folder resolved once per call). Each read could meet a newer process that
// reused the pid, so the facts count only if the identity reads the same afterwards.
std::optional<FoundProject> projectOfLiveProcess(const ProcessIdentity& identity, const QStringList& homes,
                                                 QHash<QString, std::optional<ProjectMetadata>>& projects) {
    const auto directory = workingDirectory(identity.pid);
    if (!directory) {
        return std::nullopt;
    }
    auto known = projects.constFind(*directory);
    if (known == projects.cend()) {
        known = projects.insert(*directory, resolve(*directory, homes));
    }
    if (!isSameProcess(identity)) {
        return std::nullopt;
    }
    return FoundProject{*directory, *known};
}

// The folder the user chose for this listener; absent when it is missing or not a folder.
std::optional<ProjectMetadata> chosenProject(const QString& path) {
    if (!path.startsWith(QLatin1Char('/'))) {
        return std::nullopt;
    }
    const QString folder = QDir::cleanPath(path);
    if (!platform::isDirectory(folder)) {
        return std::nullopt;
    }
    const QString manifest = childPath(folder, u"package.json");
    ProjectMetadata project{.hasProjectEvidence = true, .isUserSelected = true};
    project.directory = folder;
    if (auto name = nameFromPackage(manifest)) {
        project.name = std::move(*name);
        project.manifest = manifest;
    } else {
        // The user named this folder on purpose: show its name as it is.
        project.name = lastPathComponent(folder);
    }
    return project;
}

// A container's project: what its compose folder holds as for any server, else the compose
// project's own name; the user's folder choice wins over both. The folder is compose's record,
// not a process's: there is no process of the user to read it from.
void enrichContainer(Listener& listener, const ProjectOverrides& overrides, const QStringList& homes,
                     QHash<QString, std::optional<ProjectMetadata>>& projects) {
    const auto& compose = listener.container->container.compose;
    if (!listener.workingDirectory || !compose) {
        return;
    }
    const QString folder = QDir::cleanPath(*listener.workingDirectory);
    auto known = projects.constFind(folder);
    if (known == projects.cend()) {
        known = projects.insert(folder, resolve(folder, homes));
    }
    listener.project = *known && (*known)->hasProjectEvidence
                           ? **known
                           : ProjectMetadata{.name = compose->project, .directory = folder};
    if (const auto key = listener.projectOverrideKey()) {
        if (const auto chosen = overrides.constFind(*key); chosen != overrides.cend()) {
            if (auto project = chosenProject(*chosen)) {
                listener.project = std::move(project);
            }
        }
    }
}

}  // namespace

QList<Listener> enrich(QList<Listener> listeners, const ProjectOverrides& overrides,
                       const DiscoverySettings& settings) {
    const QStringList homes = homeFolders();
    QSet<int32_t> seenPids;
    QHash<int32_t, QString> directoriesByPid;
    QHash<QString, std::optional<ProjectMetadata>> projectsByDirectory;
    QHash<int32_t, std::optional<ProjectMetadata>> projectsByPid;

    for (Listener& listener : listeners) {
        if (listener.container) {
            enrichContainer(listener, overrides, homes, projectsByDirectory);
            continue;
        }
        // Listeners that can never be shown are not worth a single file read.
        if (!listener.canTerminate()) {
            continue;
        }
        if (!DevelopmentPortFilter::isAutomaticCandidate(listener) && !settings.included().contains(listener.port)) {
            continue;
        }
        if (!listener.identity) {
            continue;
        }
        const ProcessIdentity& identity = *listener.identity;

        if (!seenPids.contains(listener.pid)) {
            seenPids.insert(listener.pid);
            // Read between two identity reads, so that a recycled pid lends this listener nothing.
            const std::optional<FoundProject> found =
                isSameProcess(identity) ? projectOfLiveProcess(identity, homes, projectsByDirectory) : std::nullopt;
            if (found) {
                directoriesByPid.insert(listener.pid, found->workingDirectory);
                projectsByPid.insert(listener.pid, found->project);
            }
        }

        listener.project = projectsByPid.value(listener.pid);
        if (const auto directory = directoriesByPid.constFind(listener.pid); directory != directoriesByPid.cend()) {
            listener.workingDirectory = *directory;
        } else {
            listener.workingDirectory.reset();
        }

        const auto key = listener.projectOverrideKey();
        if (!key) {
            continue;
        }
        const auto chosen = overrides.constFind(*key);
        if (chosen == overrides.cend() || !isSameProcess(identity)) {
            continue;
        }
        if (auto project = chosenProject(*chosen)) {
            listener.project = std::move(project);
        }
    }
    return listeners;
}

std::optional<QString> workingDirectory(int32_t pid) {
    const auto path = platform::workingDirectory(pid);
    if (!path || !path->startsWith(QLatin1Char('/'))) {
        return std::nullopt;
    }
    return QDir::cleanPath(*path);
}

QStringList homeFolders() {
    QStringList homes{QDir::cleanPath(QDir::homePath())};
    if (const auto resolved = platform::canonicalPath(homes.front()); resolved && *resolved != homes.front()) {
        homes.append(*resolved);
    }
    return homes;
}

std::optional<ProjectMetadata> resolve(const QString& folder) {
    return resolve(folder, homeFolders());
}

std::optional<ProjectMetadata> resolve(const QString& folder, const QStringList& homes) {
    // Only absolute folders: a relative one would be walked against our own working directory.
    if (!folder.startsWith(QLatin1Char('/'))) {
        return std::nullopt;
    }
    const QString origin = originOf(QDir::cleanPath(folder));
    const auto isStop = [&homes](const QString& path) { return path == u"/" || homes.contains(path); };

    QString current = origin;
    for (int examined = 0; examined < kMaxFoldersExamined && !isStop(current); ++examined) {
        const QString manifest = childPath(current, u"package.json");
        if (auto name = nameFromPackage(manifest)) {
            return ProjectMetadata{
                .name = std::move(*name),
                .directory = current,
                .manifest = manifest,
                .hasProjectEvidence = true,
            };
        }
        // An unreadable, oversized or nameless package.json still marks the project folder.
        if (platform::exists(manifest) || platform::exists(childPath(current, u".git"))) {
            auto name = cleanName(lastPathComponent(current));
            if (!name) {
                return std::nullopt;
            }
            return ProjectMetadata{.name = std::move(*name), .directory = current, .hasProjectEvidence = true};
        }
        const QString parent = parentFolder(current);
        if (parent == current) {
            break;
        }
        current = parent;
    }

    // No marker nearby: the folder the server started in is the best guess, flagged as such.
    if (isStop(origin)) {
        return std::nullopt;
    }
    auto name = cleanName(lastPathComponent(origin));
    if (!name) {
        return std::nullopt;
    }
    return ProjectMetadata{.name = std::move(*name), .directory = origin};
}

std::optional<QJsonObject> readPackage(const QString& path) {
    const auto bytes = platform::readRegularFile(path, kMaxPackageBytes);
    if (!bytes) {
        return std::nullopt;
    }
    return parsePackage(*bytes);
}

std::optional<QJsonObject> parsePackage(const QByteArray& bytes) {
    // The parser bounds nesting depth itself, so a hostile file cannot exhaust the stack.
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

std::optional<QString> cleanName(const std::optional<QString>& text) {
    if (!text) {
        return std::nullopt;
    }
    // Format characters go too: a right-to-left override could disguise a name.
    QList<char32_t> visible;
    visible.reserve(text->size());
    for (const uint codePoint : text->toUcs4()) {
        const QChar::Category category = QChar::category(static_cast<char32_t>(codePoint));
        if (category != QChar::Other_Control && category != QChar::Other_Format) {
            visible.append(static_cast<char32_t>(codePoint));
        }
    }
    QString kept = QString::fromUcs4(visible.constData(), visible.size()).trimmed();
    if (kept.isEmpty()) {
        return std::nullopt;
    }
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, kept);
    for (int count = 0; count < kMaxNameLength; ++count) {
        if (graphemes.toNextBoundary() < 0) {
            return kept;
        }
    }
    kept.truncate(graphemes.position());
    return kept;
}

}  // namespace vantu::ProjectResolver
