#include "service/server_urls.h"

#include "core/server_address.h"
#include "platform/tls_probe.h"

namespace vantu::ServerUrls {

QStringList of(const QList<Listener>& listeners) {
    std::vector<ServerAddress> addresses;
    std::vector<platform::TlsProbeTarget> targets;
    for (const Listener& listener : listeners) {
        addresses.push_back(ServerAddress::of(listener));
        targets.push_back({addresses.back().connectTo, listener.port});
    }
    const std::vector<bool> tls = platform::answerTls(targets, kProbeLimit);
    QStringList urls;
    for (size_t i = 0; i < addresses.size(); ++i) {
        urls.append(addresses[i].url(tls[i]));
    }
    return urls;
}

}  // namespace vantu::ServerUrls
