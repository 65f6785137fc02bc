#pragma once

#include "core/port_service_error.h"
#include "core/process_identity.h"

#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace vantu {

// What the user started when a server was started: the process group of the listening
// process (what Ctrl+C in its terminal signals), e.g. npm → sh → node → esbuild.
struct ProcessGroup {
    int32_t leaderPid = 0;
    // A short command line of the group's leader, such as "npm run dev".
    QString leaderCommand;
    // The leader's whole command line, its arguments joined by spaces, for scripts.
    QString leaderCommandLine;
    // Every member, the listener among them, each pinned down by its identity.
    QList<ProcessIdentity> members;
    // The systemd user unit the listener runs in ("api.service"), which would start it again.
    std::optional<QString> unit;
    // Why the group must not be signalled as a whole, in the user's words; nullopt when it may.
    std::optional<QString> refusal;

    // "npm run dev (PID 1200, 4 processes)".
    [[nodiscard]] QString description() const;
    // Whether the group holds more than the one process: only then is stopping it different
    // from stopping the process.
    [[nodiscard]] bool hasOthers() const { return members.size() > 1; }

    friend bool operator==(const ProcessGroup&, const ProcessGroup&) = default;
};

namespace ProcessGroups {

// The group of that very process instance; nullopt when it is gone or not the user's own.
// Every member's identity is read and checked again after the group was listed.
std::optional<ProcessGroup> of(const ProcessIdentity& process);
// The groups of many processes, their groups listed in one pass; processes that are gone or
// not the user's own are left out.
QHash<ProcessIdentity, ProcessGroup> ofEach(const QList<ProcessIdentity>& processes);
// The group as it is now, read through the first of `members` that still runs in it (the
// listener may be the one that ended); nullopt when none does.
std::optional<ProcessGroup> current(const ProcessGroup& earlier);

// Sends `signalNumber` to every member, each through its own identity check; SIGINT goes as
// ProcessStopper::interrupt sends it, and as SIGTERM to a shell, which may otherwise go round
// its loop again. Members that ended meanwhile (or whose pid names another
// process now) are skipped; the first other
// failure is returned once every member was tried.
std::optional<PortServiceError> signal(const ProcessGroup& group, int signalNumber);

// Whether the process is the shell of a terminal that a person types into: the terminal's first
// process, or an interactive shell reading from it. `session` and `terminal` are read with it.
bool isShellOfATerminal(int32_t pid, int32_t session, int64_t terminal);

// Building blocks, pure.

// Whether the program of these arguments is a shell ("bash", "/bin/sh", a login "-zsh").
bool isShell(const QStringList& arguments);

// The user unit named in a /proc/<pid>/cgroup text: the last "*.service" below the manager of
// the user `uid`, "user@<uid>.service"; nullopt for other users' units, system units, group
// scopes and anything else.
std::optional<QString> userUnit(QByteArrayView controlGroups, uint32_t uid);
// Whether a process with these arguments is a shell that a person types into: a shell program
// that runs no command string (-c) and no script, and reads from a terminal, or that was told
// to be interactive (-i) or started as a login shell ("-bash").
bool isInteractiveShell(const QStringList& arguments, bool readsFromTerminal);
// A command line cut to what a person needs: the program's file name and its first arguments,
// at most 60 characters.
QString shortCommand(const QString& commandLine);

}  // namespace ProcessGroups
}  // namespace vantu
