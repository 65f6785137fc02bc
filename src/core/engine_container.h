#pragma once

#include "core/container_list.h"
#include "core/engine_endpoints.h"

#include <QList>
#include <QString>

namespace vantu {

// A container as something to stop: the engine that runs it, and how it is called.
struct EngineContainer {
    EngineEndpoint endpoint;
    QString id;
    QString name;

    friend bool operator==(const EngineContainer&, const EngineContainer&) = default;
};

// What a row knows of the container that publishes its port.
struct ListenerContainer {
    EngineEndpoint endpoint;
    Container container;
    // The one of its ports that is this row.
    PublishedPort published;
    // Every running container of its compose project on the same engine, itself included;
    // empty when it was not started by compose.
    QList<EngineContainer> composeMembers;

    [[nodiscard]] EngineContainer target() const { return {endpoint, container.id, container.name}; }
    // "127.0.0.1:8080 → 80/tcp", "8080 → 80/tcp" for every address.
    [[nodiscard]] QString mapping() const;
    // "docker shop_web_1 (postgres:16)": the command a person would recognise it by.
    [[nodiscard]] QString command() const;

    friend bool operator==(const ListenerContainer&, const ListenerContainer&) = default;
};

}  // namespace vantu
