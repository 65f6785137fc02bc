#include "core/listener.h"
#include <QCoreApplication>

#include <QStringList>

namespace vantu {
namespace {

const QString kSeparator = QStringLiteral(" \u00B7 ");

}  // namespace

QString Listener::displayName() const {
    return project ? project->name : command;
}

QString Listener::detail() const {
    const QString pidText = QStringLiteral("PID ") + QString::number(pid);
    return project ? command + kSeparator + pidText : pidText;
}

QString Listener::helpText() const {
    QStringList lines{displayName()};
    if (project) {
        lines << project->nameSource() << project->directory;
    } else {
        lines << QCoreApplication::translate("Listener", "Project not identified — showing process name");
    }
    lines << command + kSeparator + QStringLiteral("PID ") + QString::number(pid) + kSeparator +
                 QCoreApplication::translate("Listener", "port %1").arg(port);
    if (group && group->hasOthers()) {
        lines << QCoreApplication::translate("Listener", "Started by %1").arg(group->description());
    }
    if (group && group->unit) {
        lines << QCoreApplication::translate("Listener", "Runs in the systemd user unit %1").arg(*group->unit);
    }
    return lines.join(QLatin1Char('\n'));
}

std::optional<QString> Listener::projectOverrideKey() const {
    if (!workingDirectory) {
        return std::nullopt;
    }
    const QChar unitSeparator(0x001F);
    return command + unitSeparator + *workingDirectory + unitSeparator + QString::number(port);
}

size_t qHash(const Listener::ID& id, size_t seed) noexcept {
    seed = qHashMulti(seed, id.pid, id.port);
    return qHashOptional(id.identity, seed);
}

size_t qHash(const Listener& listener, size_t seed) noexcept {
    seed = qHashMulti(seed, listener.pid, listener.port, listener.command);
    seed = qHashOptional(listener.identity, seed);
    seed = qHashOptional(listener.project, seed);
    return qHashOptional(listener.workingDirectory, seed);
}

}  // namespace vantu
