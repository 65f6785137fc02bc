#include "core/listener.h"
#include <QCoreApplication>

#include <QStringList>

namespace vantu {
namespace {

const QString kSeparator = QStringLiteral(" \u00B7 ");

}  // namespace

QString Listener::displayName() const {
    if (container) {
        const auto& compose = container->container.compose;
        return compose && !compose->service.isEmpty() ? compose->service : container->container.name;
    }
    return project ? project->name : command;
}

QString Listener::detail() const {
    if (container) {
        return container->container.image.isEmpty() ? container->container.name : container->container.image;
    }
    const QString pidText = QStringLiteral("PID ") + QString::number(pid);
    return project ? command + kSeparator + pidText : pidText;
}

QString Listener::helpText() const {
    QStringList lines{displayName()};
    if (container) {
        const Container& running = container->container;
        lines << QCoreApplication::translate("Listener", "%1 container %2 (%3)")
                     .arg(container->endpoint.engineName(), running.name, running.shortId());
        if (!running.image.isEmpty()) {
            lines << QCoreApplication::translate("Listener", "Image %1").arg(running.image);
        }
        if (running.compose) {
            lines << QCoreApplication::translate("Listener", "Compose project %1, service %2")
                         .arg(running.compose->project, running.compose->service);
        }
        if (project) {
            lines << project->directory;
        }
        lines << container->mapping();
        return lines.join(QLatin1Char('\n'));
    }
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
    seed = qHashMulti(seed, id.pid, id.port, id.containerID);
    return qHashOptional(id.identity, seed);
}

size_t qHash(const Listener& listener, size_t seed) noexcept {
    seed = qHashMulti(seed, listener.pid, listener.port, listener.command);
    seed = qHashOptional(listener.identity, seed);
    seed = qHashOptional(listener.project, seed);
    if (listener.container) {
        seed = qHashMulti(seed, listener.container->container.id);
    }
    return qHashOptional(listener.workingDirectory, seed);
}

}  // namespace vantu
