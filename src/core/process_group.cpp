#include "core/process_group.h"

#include "core/engine_helpers.h"
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

QString ProcessGroup::description() const {
    // A disambiguation of "" rather than nullptr: lupdate passes over translate() calls with the
    // latter, and the German tooltip kept "3 processes".
    const int count = static_cast<int>(members.size());
    return QCoreApplication::translate("ProcessGroup", "%1 (PID %2, %n processes)", "", count)
        .arg(leaderCommand)
        .arg(leaderPid);
}

namespace ProcessGroups {
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

constexpr QStringView kShells[] = {u"sh",   u"bash", u"dash", u"zsh", u"fish", u"ksh",
                                   u"mksh", u"ash",  u"tcsh", u"csh", u"yash", u"busybox"};

}  // namespace

bool isShellOfATerminal(int32_t pid, int32_t session, int64_t terminal) {
    if (terminal == 0) {
        return false;
    }
    if (session == pid) {
        return true;  // the terminal's own first shell
    }
    const auto arguments = platform::arguments(pid);
    return arguments && isInteractiveShell(*arguments, platform::readsFromTerminal(pid));
}

bool isShell(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        return false;
    }
    const QString program = arguments.constFirst().section(u'/', -1);
    const QStringView name = QStringView(program).sliced(program.startsWith(u'-') ? 1 : 0);
    return std::find(std::cbegin(kShells), std::cend(kShells), name) != std::cend(kShells);
}

bool isInteractiveShell(const QStringList& arguments, bool readsFromTerminal) {
    if (!isShell(arguments)) {
        return false;
    }
    const bool login = arguments.constFirst().section(u'/', -1).startsWith(u'-');
    bool interactive = login;
    bool runsSomething = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == u"--") {
            runsSomething = runsSomething || i + 1 < arguments.size();
            break;
        }
        if (argument == u"--rcfile" || argument == u"--init-file" || argument == u"-o" || argument == u"+o") {
            ++i;  // takes a value
        } else if (argument == u"--login" || argument == u"--interactive") {
            interactive = true;
        } else if (argument.startsWith(u"--")) {
            continue;
        } else if ((argument.startsWith(u'-') || argument.startsWith(u'+')) && argument.size() > 1) {
            interactive = interactive || argument.contains(u'i');
            runsSomething = runsSomething || argument.contains(u'c');
        } else {
            runsSomething = true;  // a script, or the command string after -c
            break;
        }
    }
    return interactive || (!runsSomething && readsFromTerminal);
}

std::optional<QString> userUnit(QByteArrayView controlGroups, uint32_t uid) {
    // The first group named like a user manager must be this user's own, name for name: another
    // user's manager, a lookalike or a group so named inside another's tree is not the user's.
    const QByteArray ownManager = "user@" + QByteArray::number(uid) + ".service";
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
        const auto manager =
            std::find_if(parts.cbegin(), parts.cend(), [](const QByteArray& part) { return part.startsWith("user@"); });
        if (manager == parts.cend() || *manager != ownManager) {
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

// Reads the group `processGroup` from the pids listed in it: each member once, however many
// of the servers asked about run in it.
ProcessGroup groupOf(int32_t processGroup, const QString& fallbackCommand, const std::vector<int32_t>& memberPids,
                     const QList<int32_t>& protectedChain) {
    ProcessGroup group;
    group.leaderPid = processGroup;
    group.leaderCommandLine = platform::commandLine(processGroup).value_or(QString());
    group.leaderCommand = shortCommand(group.leaderCommandLine);
    if (group.leaderCommand.isEmpty()) {
        const auto leader = platform::placeOf(processGroup);
        group.leaderCommand = leader ? leader->command : fallbackCommand;
        group.leaderCommandLine = group.leaderCommand;
    }
    for (const int32_t pid : memberPids) {
        const auto member = platform::placeOf(pid);
        if (!member || member->processGroup != processGroup) {
            continue;  // ended, or moved to another group, since the listing
        }
        const ProcessIdentity identity = ProcessIdentity::of(pid, member->facts);
        group.members.append(identity);
        if (group.refusal) {
            continue;
        }
        if (identity.userID != platform::currentUid()) {
            group.refusal = QCoreApplication::translate(
                "ProcessGroup", "This group of processes includes another user’s process; nothing was signalled.");
        } else if (protectedChain.contains(pid)) {
            group.refusal = QCoreApplication::translate(
                "ProcessGroup",
                "This group of processes includes Vantu itself or what started it; nothing was "
                "signalled.");
        } else if (const auto helper = EngineHelpers::helperName(member->command, std::nullopt)) {
            group.refusal = QCoreApplication::translate("ProcessGroup",
                                                        "This group of processes includes %1 (PID %2), which holds a "
                                                        "container’s published port for its engine; stop the "
                                                        "container instead.")
                                .arg(*helper)
                                .arg(pid);
        } else if (isShellOfATerminal(pid, member->session, member->terminal)) {
            // A server started without job control shares the group of the shell it was typed in.
            group.refusal = QCoreApplication::translate("ProcessGroup",
                                                        "This group of processes includes the shell of a terminal "
                                                        "(%1, PID %2); stop the server alone instead.")
                                .arg(member->command)
                                .arg(pid);
        }
    }
    return group;
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

std::optional<ProcessGroup> of(const ProcessIdentity& process) {
    const auto groups = ofEach({process});
    const auto found = groups.constFind(process);
    return found == groups.cend() ? std::nullopt : std::optional<ProcessGroup>(*found);
}

QHash<ProcessIdentity, ProcessGroup> ofEach(const QList<ProcessIdentity>& processes) {
    QHash<ProcessIdentity, platform::ProcessPlace> places;
    std::unordered_set<int32_t> groupIds;
    for (const ProcessIdentity& process : processes) {
        if (places.contains(process)) {
            continue;
        }
        if (auto place = placeOfOwn(process)) {
            groupIds.insert(place->processGroup);
            places.insert(process, std::move(*place));
        }
    }
    QHash<ProcessIdentity, ProcessGroup> groups;
    if (places.isEmpty()) {
        return groups;
    }
    const auto listed = platform::processGroupMembers(groupIds);
    const QList<int32_t> protectedChain = selfAndAncestors();
    QHash<int32_t, ProcessGroup> read;
    for (auto place = places.cbegin(); place != places.cend(); ++place) {
        if (place->processGroup <= 0) {
            // The group's leader lives outside this pid namespace: /proc numbers it 0, and which
            // processes share it cannot be told from here.
            ProcessGroup unreadable{.leaderPid = 0,
                                    .leaderCommand = place->command,
                                    .leaderCommandLine = place->command,
                                    .members = {place.key()}};
            unreadable.refusal = QCoreApplication::translate(
                "ProcessGroup",
                "This process’s group began outside the process namespace Vantu runs in, so its members "
                "can’t be told; nothing was signalled.");
            groups.insert(place.key(), std::move(unreadable));
            continue;
        }
        const auto members = listed.find(place->processGroup);
        if (members == listed.end()) {
            continue;
        }
        auto known = read.find(place->processGroup);
        if (known == read.end()) {
            known = read.insert(place->processGroup,
                                groupOf(place->processGroup, place->command, members->second, protectedChain));
        }
        // The listing may have raced the process's own exit: it must still be one of them.
        if (!known->members.contains(place.key())) {
            continue;
        }
        ProcessGroup group = *known;
        if (const auto controlGroups = platform::controlGroups(place.key().pid)) {
            group.unit = userUnit(*controlGroups, platform::currentUid());
        }
        groups.insert(place.key(), std::move(group));
    }
    return groups;
}

std::optional<ProcessGroup> current(const ProcessGroup& earlier) {
    for (const ProcessIdentity& member : earlier.members) {
        auto group = of(member);
        if (group && group->leaderPid == earlier.leaderPid) {
            return group;
        }
    }
    return std::nullopt;
}

std::optional<PortServiceError> signal(const ProcessGroup& group, int signalNumber) {
    std::optional<PortServiceError> failure;
    for (const ProcessIdentity& member : group.members) {
        // A shell that runs a loop waits out Ctrl+C when the command it runs handles it (npm exits
        // with 130 rather than by the signal), then goes round again: it is asked to end instead.
        const auto arguments = signalNumber == SIGINT ? platform::arguments(member.pid) : std::nullopt;
        const auto result = arguments && isShell(*arguments) ? ProcessStopper::send(member, SIGTERM)
                            : signalNumber == SIGINT         ? ProcessStopper::interrupt(member)
                                                             : ProcessStopper::send(member, signalNumber);
        // A member that ended, or whose pid already names another process, needs no signal.
        const bool gone = result && (result->errorCase() == PortServiceError::Case::processExited ||
                                     result->errorCase() == PortServiceError::Case::processChanged);
        if (result && !gone && !failure) {
            failure = result;
        }
    }
    return failure;
}

}  // namespace ProcessGroups
}  // namespace vantu
