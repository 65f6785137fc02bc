#pragma once

#include "core/listener.h"

#include <QList>
#include <QStringList>

#include <chrono>

// The addresses a browser opens the servers at: http, or https for a server that answers a
// TLS handshake.
namespace vantu::ServerUrls {

// How long the handshake probe may take, for all the servers asked about together.
constexpr std::chrono::milliseconds kProbeLimit{300};

// One URL per listener, in order. Each server is sent one TLS ClientHello and nothing else;
// blocks for at most kProbeLimit: call it off the main thread.
QStringList of(const QList<Listener>& listeners);

}  // namespace vantu::ServerUrls
