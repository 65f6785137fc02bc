#pragma once

#include "core/listener.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace vantu {

// Where a browser reaches a listening server, chosen from the addresses its port is bound on.
// Pure: no name is resolved and nothing is connected.
struct ServerAddress {
    // As written in a URL: "localhost", "127.0.0.2", "[::1]".
    QString host;
    // The numeric address to connect to on this machine: "127.0.0.1", "::1".
    QString connectTo;
    uint16_t port = 0;

    // A server bound to any address or to 127.0.0.1 is reached as localhost; one bound only to
    // other addresses is reached on one of those, a loopback address first.
    static ServerAddress of(const QStringList& boundAddresses, uint16_t port);
    static ServerAddress of(const Listener& listener) { return of(listener.addresses, listener.port); }

    // "http://localhost:3000/", or https when the server speaks TLS.
    [[nodiscard]] QString url(bool tls) const;

    friend bool operator==(const ServerAddress&, const ServerAddress&) = default;
};

}  // namespace vantu
