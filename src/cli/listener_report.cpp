#include "cli/listener_report.h"

#include "core/process_usage.h"
#include "rules/development_port_filter.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace vantu::cli {
namespace {

QJsonValue optionalText(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

// How long the process has run at `nowSeconds`; nullopt when its start is unknown.
std::optional<uint64_t> uptime(const Listener& listener, qint64 nowSeconds) {
    if (!listener.identity) {
        return std::nullopt;
    }
    const auto started = static_cast<qint64>(listener.identity->startSeconds);
    return static_cast<uint64_t>(std::max<qint64>(nowSeconds - started, 0));
}

constexpr size_t kTableColumns = 6;
// The text columns that give way on a narrow terminal: command, project, folder.
constexpr size_t kFirstTextColumn = 3;
constexpr qsizetype kNarrowestText = 6;

// Cuts the text columns until a line fits `width`, the widest first, then cuts their cells.
void fitTextColumns(QList<std::array<QString, kTableColumns>>& rows, std::array<qsizetype, kTableColumns>& widths,
                    int width) {
    const auto lineLength = [&widths] {
        qsizetype length = 2 * static_cast<qsizetype>(kTableColumns - 1);
        for (const qsizetype column : widths) {
            length += column;
        }
        return length;
    };
    while (lineLength() > width) {
        const auto widest = std::max_element(widths.begin() + kFirstTextColumn, widths.end());
        if (*widest <= kNarrowestText) {
            break;
        }
        --*widest;
    }
    const QChar ellipsis(0x2026);
    for (auto& row : rows) {
        for (size_t column = kFirstTextColumn; column < kTableColumns; ++column) {
            QString& cell = row[column];
            const qsizetype room = widths[column];
            if (cell.size() > room) {
                cell = column + 1 == kTableColumns ? QString(ellipsis + cell.right(room - 1))
                                                   : QString(cell.left(room - 1) + ellipsis);
            }
        }
    }
}

}  // namespace

QString formatTable(const QList<Listener>& listeners, qint64 nowSeconds, std::optional<int> width) {
    constexpr size_t kColumns = kTableColumns;
    QList<std::array<QString, kColumns>> rows;
    rows.append({u"PORT"_s, u"PID"_s, u"UPTIME"_s, u"COMMAND"_s, u"PROJECT"_s, u"FOLDER"_s});
    for (const Listener& listener : listeners) {
        const auto ran = uptime(listener, nowSeconds);
        rows.append(
            {QString::number(listener.port), listener.container ? u"-"_s : QString::number(listener.pid),
             ran ? ProcessUsage::compactDuration(*ran) : u"-"_s, visible(listener.command),
             visible(listener.project ? listener.project->name : u"-"_s),
             visible(listener.project ? listener.project->directory : listener.workingDirectory.value_or(u"-"_s))});
    }
    std::array<qsizetype, kColumns> widths{};
    for (const auto& row : rows) {
        for (size_t column = 0; column < kColumns; ++column) {
            widths[column] = std::max(widths[column], row[column].size());
        }
    }
    if (width) {
        fitTextColumns(rows, widths, *width);
    }
    QString table;
    for (const auto& row : rows) {
        QString line;
        for (size_t column = 0; column < kColumns; ++column) {
            // Numbers read best right-aligned; the last column needs no padding.
            if (column < 3) {
                line += row[column].rightJustified(widths[column]) + u"  "_s;
            } else if (column + 1 < kColumns) {
                line += row[column].leftJustified(widths[column]) + u"  "_s;
            } else {
                line += row[column];
            }
        }
        table += line + u'\n';
    }
    return table;
}

namespace {

// What a script needs to find the container again with its engine's own tools.
QJsonValue containerJson(const std::optional<ListenerContainer>& container) {
    if (!container) {
        return QJsonValue::Null;
    }
    const auto& compose = container->container.compose;
    return QJsonObject{
        {u"engine"_s, container->endpoint.engine == EngineEndpoint::Engine::docker ? u"docker"_s : u"podman"_s},
        {u"id"_s, container->container.id},
        {u"name"_s, container->container.name},
        {u"image"_s, container->container.image},
        {u"composeProject"_s, compose ? QJsonValue(compose->project) : QJsonValue(QJsonValue::Null)},
        {u"composeService"_s, compose ? QJsonValue(compose->service) : QJsonValue(QJsonValue::Null)},
        {u"workingDirectory"_s, compose && !compose->workingDirectory.isEmpty() ? QJsonValue(compose->workingDirectory)
                                                                                : QJsonValue(QJsonValue::Null)},
    };
}

// Where the project's name came from, as a word that scripts can compare.
QString nameSourceKey(const ProjectMetadata& project) {
    if (project.isUserSelected) {
        return u"override"_s;
    }
    if (project.manifest) {
        return u"packageJson"_s;
    }
    // A folder marked as a project (.git, or a package.json without a name) gave its name.
    return project.hasProjectEvidence ? u"gitFolder"_s : u"folder"_s;
}

// The socket's family: an IPv6 socket's address holds a colon, an IPv4-mapped one ("::ffff:1.2.3.4") too.
QString family(const QString& address) {
    return address.contains(u':') ? u"ipv6"_s : u"ipv4"_s;
}

// Every address the port is bound on, IPv4 first; the first one is also the listener's own
// `address` and `family`, so a script that expects one address finds it without a loop.
void insertAddresses(QJsonObject& object, QStringList addresses) {
    std::stable_sort(addresses.begin(), addresses.end(),
                     [](const QString& a, const QString& b) { return family(a) < family(b); });
    QJsonArray all;
    for (const QString& address : std::as_const(addresses)) {
        all.append(QJsonObject{{u"address"_s, address}, {u"family"_s, family(address)}});
    }
    object.insert(u"address"_s, addresses.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(addresses.front()));
    object.insert(u"family"_s,
                  addresses.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(family(addresses.front())));
    object.insert(u"addresses"_s, all);
}

// The one place a listener becomes JSON.
QJsonObject listenerObject(const Listener& listener, qint64 nowSeconds, const QJsonValue& url, bool isDevServer) {
    QJsonObject object{
        {u"port"_s, listener.port},
        // A container's row is no process's.
        {u"pid"_s, listener.container ? QJsonValue(QJsonValue::Null) : QJsonValue(listener.pid)},
        {u"command"_s, listener.command},
        {u"displayName"_s, listener.displayName()},
        {u"detail"_s, listener.detail()},
        {u"workingDirectory"_s, optionalText(listener.workingDirectory)},
        {u"canTerminate"_s, listener.canTerminate()},
        {u"isDevServer"_s, isDevServer},
        {u"url"_s, url},
        {u"residentBytes"_s, listener.residentBytes ? QJsonValue(static_cast<qint64>(*listener.residentBytes))
                                                    : QJsonValue(QJsonValue::Null)},
    };
    insertAddresses(object, listener.addresses);
    if (const auto ran = uptime(listener, nowSeconds)) {
        const ProcessIdentity& identity = *listener.identity;
        const qint64 startMs =
            static_cast<qint64>(identity.startSeconds) * 1000 + static_cast<qint64>(identity.startMicroseconds / 1000);
        object.insert(u"startedAt"_s, QDateTime::fromMSecsSinceEpoch(startMs, Qt::UTC).toString(Qt::ISODateWithMs));
        object.insert(u"uptimeSeconds"_s, static_cast<qint64>(*ran));
    } else {
        object.insert(u"startedAt"_s, QJsonValue::Null);
        object.insert(u"uptimeSeconds"_s, QJsonValue::Null);
    }
    if (listener.project) {
        const ProjectMetadata& project = *listener.project;
        object.insert(u"project"_s, QJsonObject{
                                        {u"name"_s, project.name},
                                        {u"directory"_s, project.directory},
                                        {u"manifest"_s, optionalText(project.manifest)},
                                        {u"nameSource"_s, nameSourceKey(project)},
                                        {u"hasProjectEvidence"_s, project.hasProjectEvidence},
                                        {u"isUserSelected"_s, project.isUserSelected},
                                    });
    } else {
        object.insert(u"project"_s, QJsonValue::Null);
    }
    if (const auto& group = listener.group) {
        object.insert(u"session"_s, QJsonObject{
                                        {u"leaderPid"_s, group->leaderPid},
                                        {u"command"_s, group->leaderCommandLine},
                                        {u"members"_s, static_cast<qint64>(group->members.size())},
                                        {u"unit"_s, optionalText(group->unit)},
                                    });
    } else {
        object.insert(u"session"_s, QJsonValue::Null);
    }
    if (listener.identity) {
        const ProcessIdentity& identity = *listener.identity;
        // Start times can exceed what a JSON number holds exactly in some readers; the
        // seconds fit comfortably, the microseconds always do.
        object.insert(u"identity"_s, QJsonObject{
                                         {u"pid"_s, identity.pid},
                                         {u"userID"_s, static_cast<qint64>(identity.userID)},
                                         {u"startSeconds"_s, static_cast<qint64>(identity.startSeconds)},
                                         {u"startMicroseconds"_s, static_cast<qint64>(identity.startMicroseconds)},
                                     });
    } else {
        object.insert(u"identity"_s, QJsonValue::Null);
    }
    object.insert(u"container"_s, containerJson(listener.container));
    return object;
}

}  // namespace

QJsonObject toJson(const QList<Listener>& listeners, const QList<ForeignPort>& foreign, qint64 nowSeconds,
                   const QStringList& urls, const DiscoverySettings& settings) {
    QJsonArray array;
    for (qsizetype index = 0; index < listeners.size(); ++index) {
        const Listener& listener = listeners[index];
        array.append(listenerObject(listener, nowSeconds,
                                    index < urls.size() ? QJsonValue(urls[index]) : QJsonValue(QJsonValue::Null),
                                    DevelopmentPortFilter::includes(listener, settings)));
    }
    // Another user's process was not examined: only its port and owner are known, and the
    // discovery settings never show it.
    for (const ForeignPort& port : foreign) {
        array.append(QJsonObject{
            {u"port"_s, port.port},
            {u"pid"_s, QJsonValue::Null},
            {u"userID"_s, static_cast<qint64>(port.userID)},
            {u"canTerminate"_s, false},
            {u"isDevServer"_s, false},
            {u"address"_s, QJsonValue::Null},
            {u"family"_s, QJsonValue::Null},
            {u"addresses"_s, QJsonArray()},
        });
    }
    return QJsonObject{{u"version"_s, kJsonVersion}, {u"listeners"_s, array}};
}

}  // namespace vantu::cli
