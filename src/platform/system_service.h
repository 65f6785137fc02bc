#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <cstdint>

// Which processes belong to the operating system rather than to the user's work. What counts
// differs from one system to the next (on Linux: its own library folders and the service
// manager's system units); the rest of Vantu only asks these questions.
namespace vantu::platform {

// Tells whether a lower-cased executable file name is a development runtime's (node, python3.11).
using RuntimeNamePredicate = bool (*)(const QString& lowerCasedName);

// Whether the executable at `path` is one of the system's own programs: it lies in a folder the
// system keeps for itself, and is not a runtime's own binary that merely lives there (a JDK's
// java under /usr/lib/jvm runs the user's code). Pure: only the path is looked at.
bool isSystemExecutable(QStringView path, RuntimeNamePredicate isRuntimeName);

// Whether a process with the control groups `processGroups` (the text of /proc/<pid>/cgroup)
// is part of a system unit, started by the service manager rather than by a user, and not of
// the unit this program runs in (`ownGroups`). Pure.
bool belongsToOtherSystemUnit(QByteArrayView processGroups, QByteArrayView ownGroups);

// The same for a live process and this program. A process that is gone, or whose groups
// cannot be read, is not known to be part of a system unit.
bool belongsToOtherSystemUnit(int32_t pid);

}  // namespace vantu::platform
