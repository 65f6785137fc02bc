#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <vector>

namespace vantu::platform {

// Whether the server at `address` (numeric IPv4 or IPv6) on `port` answers a TLS ClientHello
// as a TLS server does, with a handshake or an alert record, within `limit` in all. Sends the
// hello and nothing else; silence, a refused connection or a plain-text answer mean no.
// Blocks for at most `limit`: call it off the main thread.
bool answersTls(const QString& address, uint16_t port, std::chrono::milliseconds limit);

struct TlsProbeTarget {
    QString address;
    uint16_t port = 0;
};
// The same for many servers at once, all within one `limit`: one answer per target, in order.
std::vector<bool> answerTls(const std::vector<TlsProbeTarget>& targets, std::chrono::milliseconds limit);

}  // namespace vantu::platform
