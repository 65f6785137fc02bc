#include "core/engine_endpoints.h"

using namespace Qt::StringLiterals;

namespace vantu {

QString EngineEndpoint::engineName() const {
    return engine == Engine::docker ? u"Docker"_s : u"Podman"_s;
}

namespace EngineEndpoints {

QString unixSocketOf(const QString& endpoint) {
    const QString scheme = u"unix://"_s;
    if (!endpoint.startsWith(scheme) || endpoint.size() <= scheme.size() || endpoint[scheme.size()] != u'/') {
        return {};
    }
    return endpoint.mid(scheme.size());
}

QList<EngineEndpoint> candidates(const platform::EngineSettings& settings) {
    QList<EngineEndpoint> found;
    const auto add = [&found](EngineEndpoint::Engine engine, const QString& path) {
        if (!path.isEmpty() && std::none_of(found.cbegin(), found.cend(), [&path](const EngineEndpoint& known) {
                return known.socketPath == path;
            })) {
            found.append(EngineEndpoint{engine, path});
        }
    };
    const bool userRuntime = !settings.runtimeDirectory.isEmpty();
    // The client's own choice of engine is the only one it talks to; a remote one is no server
    // of this machine's.
    if (const auto chosen = settings.dockerHost ? settings.dockerHost : settings.dockerContextHost) {
        add(EngineEndpoint::Engine::docker, unixSocketOf(*chosen));
    } else {
        add(EngineEndpoint::Engine::docker, u"/var/run/docker.sock"_s);
        if (userRuntime) {
            add(EngineEndpoint::Engine::docker, settings.runtimeDirectory + u"/docker.sock"_s);
        }
        add(EngineEndpoint::Engine::docker, settings.homeDirectory + u"/.docker/desktop/docker.sock"_s);
    }
    if (settings.containerHost) {
        add(EngineEndpoint::Engine::podman, unixSocketOf(*settings.containerHost));
    } else {
        if (userRuntime) {
            add(EngineEndpoint::Engine::podman, settings.runtimeDirectory + u"/podman/podman.sock"_s);
        }
        add(EngineEndpoint::Engine::podman, u"/run/podman/podman.sock"_s);
    }
    return found;
}

}  // namespace EngineEndpoints
}  // namespace vantu
