#include "platform/system_service.h"

#include "platform/proc_reader_linux.h"
#include "platform/unique_fd.h"

#include <QByteArray>

#include <fcntl.h>
#include <optional>

namespace vantu::platform {
namespace {

// Folders the distribution fills with its own daemons and helpers; nobody starts a development
// server from there. /lib64 and /usr/lib64 are where multilib systems keep them.
constexpr QStringView kSystemFolders[] = {u"/usr/lib/",   u"/usr/lib64/", u"/usr/libexec/",
                                          u"/usr/share/", u"/lib/",       u"/lib64/"};
// npm installs global packages here; their programs are tools the user chose.
constexpr QStringView kUserFoldersInSystemFolders[] = {u"/usr/lib/node_modules/"};
// A program replaced on disk while it runs, as an upgrade does, reads back with this suffix.
constexpr QStringView kDeletedSuffix = u" (deleted)";

bool startsWithAny(QStringView path, const auto& prefixes) {
    for (const QStringView prefix : prefixes) {
        if (path.startsWith(prefix)) {
            return true;
        }
    }
    return false;
}

// The control-group path the service manager keeps the process in. With the legacy layout
// only the name=systemd hierarchy says it; otherwise the unified one ("0::/…") does.
std::optional<QByteArrayView> serviceManagerPath(QByteArrayView groups) {
    std::optional<QByteArrayView> unified;
    qsizetype from = 0;
    while (from < groups.size()) {
        qsizetype end = groups.indexOf('\n', from);
        if (end < 0) {
            end = groups.size();
        }
        const QByteArrayView line = groups.sliced(from, end - from);
        from = end + 1;
        // hierarchy-ID:controller-list:path, and the path may itself hold colons.
        const qsizetype first = line.indexOf(':');
        const qsizetype second = first < 0 ? -1 : line.indexOf(':', first + 1);
        if (second < 0) {
            continue;
        }
        const QByteArrayView controllers = line.sliced(first + 1, second - first - 1);
        const QByteArrayView path = line.sliced(second + 1);
        if (controllers == "name=systemd") {
            return path;
        }
        if (line.first(first) == "0" && controllers.isEmpty()) {
            unified = path;
        }
    }
    return unified;
}

// The part of a control-group path that names a system unit: down to its first service or
// scope (system.slice/nginx.service, system.slice/system-getty.slice/getty@tty1.service), or
// the whole path when no unit follows the slice. nullopt outside system.slice.
std::optional<QByteArrayView> systemUnit(QByteArrayView path) {
    constexpr QByteArrayView kSystemSlice = "/system.slice";
    if (path != kSystemSlice && !path.startsWith("/system.slice/")) {
        return std::nullopt;
    }
    qsizetype from = kSystemSlice.size() + 1;
    while (from < path.size()) {
        qsizetype end = path.indexOf('/', from);
        if (end < 0) {
            end = path.size();
        }
        const QByteArrayView component = path.sliced(from, end - from);
        if (component.endsWith(".service") || component.endsWith(".scope")) {
            return path.first(end);
        }
        from = end + 1;
    }
    return path;
}

bool isWithin(QByteArrayView path, QByteArrayView folder) {
    return path == folder || (path.startsWith(folder) && path.size() > folder.size() && path[folder.size()] == '/');
}

std::optional<QByteArray> readGroups(const QByteArray& file) {
    return proc::readAll(UniqueFd(::open(file.constData(), O_RDONLY | O_CLOEXEC)).get());
}

}  // namespace

bool isSystemExecutable(QStringView path, RuntimeNamePredicate isRuntimeName) {
    if (path.endsWith(kDeletedSuffix)) {
        path.chop(kDeletedSuffix.size());
    }
    if (!startsWithAny(path, kSystemFolders) || startsWithAny(path, kUserFoldersInSystemFolders)) {
        return false;
    }
    return !isRuntimeName(path.sliced(path.lastIndexOf(u'/') + 1).toString().toLower());
}

bool belongsToOtherSystemUnit(QByteArrayView processGroups, QByteArrayView ownGroups) {
    const auto path = serviceManagerPath(processGroups);
    const auto unit = path ? systemUnit(*path) : std::nullopt;
    if (!unit) {
        return false;
    }
    // A process of the unit this program runs in was started alongside it (a CI job's server,
    // a container's shell), not by the system behind the user's back.
    const auto ownPath = serviceManagerPath(ownGroups);
    return !(ownPath && isWithin(*ownPath, *unit));
}

bool belongsToOtherSystemUnit(int32_t pid) {
    if (pid <= 0) {
        return false;
    }
    // This program stays in the unit it was started in.
    static const QByteArray ownGroups = readGroups("/proc/self/cgroup").value_or(QByteArray());
    const auto groups = readGroups("/proc/" + QByteArray::number(pid) + "/cgroup");
    return groups && belongsToOtherSystemUnit(*groups, ownGroups);
}

}  // namespace vantu::platform
