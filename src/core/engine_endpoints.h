#pragma once

#include "platform/container_engine.h"

#include <QList>
#include <QString>

namespace vantu {

// A local container engine that may answer for the user: which kind, and its unix socket.
struct EngineEndpoint {
    enum class Engine { docker, podman };
    Engine engine = Engine::docker;
    QString socketPath;

    // "Docker", "Podman": the engine's own name, in every language.
    [[nodiscard]] QString engineName() const;

    friend bool operator==(const EngineEndpoint&, const EngineEndpoint&) = default;
};

namespace EngineEndpoints {

// The sockets to ask, in order: Docker's from DOCKER_HOST or else the client's current context,
// else its usual places (the system's, rootless Docker's, Docker Desktop's); then Podman's
// from CONTAINER_HOST, else the user's and the system's. Only local unix:// endpoints: an
// engine elsewhere (tcp://, ssh://) runs no server on this machine, and none is ever started.
// Pure: whether a socket exists is the caller's to check.
QList<EngineEndpoint> candidates(const platform::EngineSettings& settings);

// The socket path of a "unix:///path" endpoint; empty for anything else.
QString unixSocketOf(const QString& endpoint);

}  // namespace EngineEndpoints
}  // namespace vantu
