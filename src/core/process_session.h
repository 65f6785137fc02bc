#pragma once

#include "core/port_service_error.h"
#include "core/process_identity.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace vantu {

// What the user started when a server was started: the process group of the listening
// process (what Ctrl+C in its terminal signals), e.g. npm → sh → node → esbuild.
struct ProcessSession {
    int32_t leaderPid = 0;
    // A short command line of the group's leader, such as "npm run dev".
    QString leaderCommand;
    // Every member, the listener among them, each pinned down by its identity.
    QList<ProcessIdentity> members;
    // The systemd user unit the listener runs in ("api.service"), which would start it again.
    std::optional<QString> unit;
    // Why the group must not be signalled as a whole, in the user's words; nullopt when it may.
    std::optional<QString> refusal;

    // "npm run dev (PID 1200, 4 processes)".
    [[nodiscard]] QString description() const;
};

namespace ProcessSessions {

// The session of that very process instance; nullopt when it is gone or not the user's own.
// Every member's identity is read and checked again after the group was listed.
std::optional<ProcessSession> of(const ProcessIdentity& process);

// Sends `signalNumber` to every member, each through its own identity check. Members that ended
// meanwhile are skipped; the first other failure is returned once every member was tried.
std::optional<PortServiceError> signal(const ProcessSession& session, int signalNumber);

// Building blocks, pure.

// The user unit named in a /proc/<pid>/cgroup text: the last "*.service" below
// "user@<uid>.service"; nullopt for system units, session scopes and anything else.
std::optional<QString> userUnit(QByteArrayView controlGroups);
// A command line cut to what a person needs: the program's file name and its first arguments,
// at most 60 characters.
QString shortCommand(const QString& commandLine);

}  // namespace ProcessSessions
}  // namespace vantu
