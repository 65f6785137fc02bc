#include "core/process_session.h"

#include "core/process_stopper.h"
#include "platform/process.h"

#include <QCoreApplication>
#include <QList>
#include <QRegularExpression>

#include <algorithm>
#include <csignal>
#include <unordered_set>

using namespace Qt::StringLiterals;

namespace vantu {

QString ProcessSession::description() const {
    return QCoreApplication::translate("ProcessSession", "%1 (PID %2, %n processes)", nullptr,
                                       static_cast<int>(members.size()))
        .arg(leaderCommand)
        .arg(leaderPid);
}

namespace ProcessSessions {
namespace {

constexpr qsizetype kShortCommandLength = 60;

// This program and every process that led to it: signalling their group would end the caller.
QList<int32_t> selfAndAncestors() {
    QList<int32_t> chain;
    int32_t pid = platform::currentPid();
    for (int depth = 0; depth < 64 && pid > 1 && !chain.contains(pid); ++depth) {
        chain.append(pid);
        const auto place = platform::placeOf(pid);
        if (!place) {
            break;
        }
        pid = place->parentPid;
    }
    return chain;
}

}  // namespace

std::optional<QString> userUnit(QByteArrayView controlGroups) {
    for (const QByteArray& line : controlGroups.toByteArray().split('\n')) {
        // "0::/user.slice/user-1000.slice/user@1000.service/app.slice/api.service" (cgroup v2),
        // or systemd's own hierarchy under cgroup v1, "1:name=systemd:/user.slice/…".
        const qsizetype first = line.indexOf(':');
        const qsizetype second = first < 0 ? -1 : line.indexOf(':', first + 1);
        if (second < 0) {
            continue;
        }
        const QByteArray controllers = line.mid(first + 1, second - first - 1);
        if (!controllers.isEmpty() && controllers != "name=systemd") {
            continue;
        }
        const QList<QByteArray> parts = line.mid(second + 1).split('/');
        const auto manager = std::find_if(parts.cbegin(), parts.cend(), [](const QByteArray& part) {
            return part.startsWith("user@") && part.endsWith(".service");
        });
        if (manager == parts.cend()) {
            continue;
        }
        for (auto part = parts.crbegin(); part.base() != manager + 1; ++part) {
            if (part->endsWith(".service")) {
                return QString::fromUtf8(*part);
            }
        }
    }
    return std::nullopt;
}

QString shortCommand(const QString& commandLine) {
    QStringList words = commandLine.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty()) {
        return {};
    }
    // "/usr/bin/node server.js" reads as "node server.js".
    words.front() = words.front().section(u'/', -1);
    // An installed tool written in a scripting language runs as its interpreter with the tool's
    // path: "node /app/node_modules/.bin/nodemon server.js" is "nodemon server.js" to a person.
    // A script of the user's own keeps its interpreter.
    static const QRegularExpression interpreter(u"^(node|nodejs|bun|deno|python[0-9.]*|ruby|perl)$"_s);
    if (words.size() > 1 && interpreter.match(words.front()).hasMatch() &&
        (words[1].contains(u"/bin/"_s) || words[1].contains(u"/node_modules/"_s))) {
        words.removeFirst();
        words.front() = words.front().section(u'/', -1);
    }
    QString text = words.join(u' ');
    if (text.size() > kShortCommandLength) {
        text = text.first(kShortCommandLength - 1) + QChar(0x2026);
    }
    return text;
}

namespace {

// Builds the session of `process` from its place and the pids listed in its group.
std::optional<ProcessSession> sessionOf(const ProcessIdentity& process, const platform::ProcessPlace& place,
                                        const std::vector<int32_t>& memberPids, const QList<int32_t>& protectedChain) {
    ProcessSession session;
    session.leaderPid = place.processGroup;
    session.leaderCommand = shortCommand(platform::commandLine(place.processGroup).value_or(QString()));
    if (session.leaderCommand.isEmpty()) {
        const auto leader = platform::placeOf(place.processGroup);
        session.leaderCommand = leader ? leader->command : place.command;
    }
    if (const auto groups = platform::controlGroups(process.pid)) {
        session.unit = userUnit(*groups);
    }

    for (const int32_t pid : memberPids) {
        const auto member = platform::placeOf(pid);
        if (!member || member->processGroup != place.processGroup) {
            continue;  // ended, or moved to another group, since the listing
        }
        const ProcessIdentity identity = ProcessIdentity::of(pid, member->facts);
        session.members.append(identity);
        if (session.refusal) {
            continue;
        }
        if (identity.userID != platform::currentUid()) {
            session.refusal = QCoreApplication::translate(
                "ProcessSession", "This group of processes includes another user’s process; nothing was signalled.");
        } else if (protectedChain.contains(pid)) {
            session.refusal = QCoreApplication::translate(
                "ProcessSession",
                "This group of processes includes Vantu itself or what started it; nothing was "
                "signalled.");
        } else if (member->session == pid && member->terminal != 0) {
            // A server started without job control shares the group of the shell it was typed in.
            session.refusal = QCoreApplication::translate("ProcessSession",
                                                          "This group of processes includes the shell of a terminal "
                                                          "(%1, PID %2); stop the server alone instead.")
                                  .arg(member->command)
                                  .arg(pid);
        }
    }
    // The listing above may have raced the process's own exit: it must still be one of them.
    if (!session.members.contains(process)) {
        return std::nullopt;
    }
    return session;
}

// The place of that very instance, when it is the user's own to stop.
std::optional<platform::ProcessPlace> placeOfOwn(const ProcessIdentity& process) {
    auto place = platform::placeOf(process.pid);
    if (!place || ProcessIdentity::of(process.pid, place->facts) != process || !process.canTerminate()) {
        return std::nullopt;
    }
    return place;
}

}  // namespace

std::optional<ProcessSession> of(const ProcessIdentity& process) {
    const auto sessions = ofEach({process});
    const auto found = sessions.constFind(process);
    return found == sessions.cend() ? std::nullopt : std::optional<ProcessSession>(*found);
}

QHash<ProcessIdentity, ProcessSession> ofEach(const QList<ProcessIdentity>& processes) {
    QHash<ProcessIdentity, platform::ProcessPlace> places;
    std::unordered_set<int32_t> groups;
    for (const ProcessIdentity& process : processes) {
        if (places.contains(process)) {
            continue;
        }
        if (auto place = placeOfOwn(process)) {
            groups.insert(place->processGroup);
            places.insert(process, std::move(*place));
        }
    }
    QHash<ProcessIdentity, ProcessSession> sessions;
    if (places.isEmpty()) {
        return sessions;
    }
    const auto members = platform::processGroupMembers(groups);
    const QList<int32_t> protectedChain = selfAndAncestors();
    for (auto place = places.cbegin(); place != places.cend(); ++place) {
        const auto listed = members.find(place->processGroup);
        if (listed == members.end()) {
            continue;
        }
        if (auto session = sessionOf(place.key(), *place, listed->second, protectedChain)) {
            sessions.insert(place.key(), std::move(*session));
        }
    }
    return sessions;
}

std::optional<ProcessSession> current(const ProcessSession& earlier) {
    for (const ProcessIdentity& member : earlier.members) {
        auto session = of(member);
        if (session && session->leaderPid == earlier.leaderPid) {
            return session;
        }
    }
    return std::nullopt;
}

std::variant<ProcessSession, PortServiceError> stop(const ProcessSession& earlier, int signalNumber) {
    auto session = current(earlier);
    if (!session) {
        return PortServiceError::processExited();
    }
    if (session->refusal) {
        return PortServiceError::refused(*session->refusal);
    }
    if (auto failed = signal(*session, signalNumber)) {
        return std::move(*failed);
    }
    return std::move(*session);
}

std::optional<PortServiceError> signal(const ProcessSession& session, int signalNumber) {
    std::optional<PortServiceError> failure;
    for (const ProcessIdentity& member : session.members) {
        const auto result =
            signalNumber == SIGINT ? ProcessStopper::interrupt(member) : ProcessStopper::send(member, signalNumber);
        if (result && result->errorCase() != PortServiceError::Case::processExited && !failure) {
            failure = result;
        }
    }
    return failure;
}

}  // namespace ProcessSessions
}  // namespace vantu
