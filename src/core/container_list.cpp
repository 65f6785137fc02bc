#include "core/container_list.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace vantu::ContainerList {
namespace {

std::optional<uint16_t> portNumber(const QJsonValue& value) {
    const double number = value.toDouble(-1);
    if (number < 1 || number > 65535 || number != static_cast<double>(static_cast<int>(number))) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(number);
}

// Every address of a family reads as every address: both families' wildcards are one binding.
QString addressOf(const QString& ip) {
    return ip == u"0.0.0.0"_s || ip == u"::"_s ? QString() : ip;
}

QList<PublishedPort> publishedPorts(const QJsonArray& ports) {
    QList<PublishedPort> published;
    for (const QJsonValue& entry : ports) {
        const QJsonObject port = entry.toObject();
        const auto hostPort = portNumber(port[u"PublicPort"_s]);
        const auto containerPort = portNumber(port[u"PrivatePort"_s]);
        if (!hostPort || !containerPort || port[u"Type"_s].toString(u"tcp"_s) != u"tcp"_s) {
            continue;
        }
        const PublishedPort found{addressOf(port[u"IP"_s].toString()), *hostPort, *containerPort};
        if (!published.contains(found)) {
            published.append(found);
        }
    }
    return published;
}

std::optional<ComposeLabels> composeLabels(const QJsonObject& labels) {
    const QString project = labels[u"com.docker.compose.project"_s].toString();
    if (project.isEmpty()) {
        return std::nullopt;
    }
    const QString folder = labels[u"com.docker.compose.project.working_dir"_s].toString();
    return ComposeLabels{project, labels[u"com.docker.compose.service"_s].toString(),
                         folder.startsWith(u'/') ? folder : QString()};
}

}  // namespace

std::optional<QList<Container>> parse(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    QList<Container> containers;
    for (const QJsonValue& entry : document.array()) {
        const QJsonObject container = entry.toObject();
        const QString id = container[u"Id"_s].toString();
        // Podman's compatible list says "running" as Docker does; anything else publishes nothing.
        if (id.isEmpty() || container[u"State"_s].toString() != u"running"_s) {
            continue;
        }
        QList<PublishedPort> ports = publishedPorts(container[u"Ports"_s].toArray());
        QString name = container[u"Names"_s].toArray().first().toString();
        if (name.startsWith(u'/')) {
            name.remove(0, 1);
        }
        containers.append(Container{id, name.isEmpty() ? id.left(12) : name, container[u"Image"_s].toString(),
                                    std::move(ports), composeLabels(container[u"Labels"_s].toObject())});
    }
    return containers;
}

}  // namespace vantu::ContainerList
