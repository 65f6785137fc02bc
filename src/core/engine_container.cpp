#include "core/engine_container.h"

using namespace Qt::StringLiterals;

namespace vantu {

QString ListenerContainer::mapping() const {
    const QString host = published.address.isEmpty() ? QString::number(published.hostPort)
                         : published.address.contains(u':')
                             ? u"[%1]:%2"_s.arg(published.address).arg(published.hostPort)
                             : u"%1:%2"_s.arg(published.address).arg(published.hostPort);
    return u"%1 → %2/tcp"_s.arg(host).arg(published.containerPort);
}

QString ListenerContainer::command() const {
    const QString engine = endpoint.engine == EngineEndpoint::Engine::docker ? u"docker"_s : u"podman"_s;
    return container.image.isEmpty() ? u"%1 %2"_s.arg(engine, container.name)
                                     : u"%1 %2 (%3)"_s.arg(engine, container.name, container.image);
}

}  // namespace vantu
