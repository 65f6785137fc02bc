#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

namespace vantu {

// A host port a running container publishes: `address` is where it is bound ("127.0.0.1",
// "::1"; empty for every address of both families), `containerPort` where it arrives inside.
struct PublishedPort {
    QString address;
    uint16_t hostPort = 0;
    uint16_t containerPort = 0;

    friend bool operator==(const PublishedPort&, const PublishedPort&) = default;
};

// The compose project a container was started for, from the labels compose puts on it.
struct ComposeLabels {
    QString project;
    QString service;
    // The folder compose ran in: absolute, as compose records it.
    QString workingDirectory;

    friend bool operator==(const ComposeLabels&, const ComposeLabels&) = default;
};

// A running container, as an engine lists it: the published TCP ports make its rows, and a
// container without any still counts for its compose project.
struct Container {
    QString id;
    // Without the leading slash the engine puts before it ("shop_web_1").
    QString name;
    QString image;
    QList<PublishedPort> ports;
    std::optional<ComposeLabels> compose;

    // The first 12 characters of the id, as the engines' own tools show it.
    [[nodiscard]] QString shortId() const { return id.left(12); }

    friend bool operator==(const Container&, const Container&) = default;
};

namespace ContainerList {

// The running containers, from the answer to GET /containers/json
// (Docker's and Podman's compatible API alike). A port published on both address families
// (Docker lists it once for 0.0.0.0 and once for ::) is one port. nullopt when the text is not
// such a list.
std::optional<QList<Container>> parse(const QByteArray& json);

}  // namespace ContainerList
}  // namespace vantu
