#include "platform/tls_probe.h"

#include "platform/unique_fd.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace vantu::platform {
namespace {

using Clock = std::chrono::steady_clock;

void appendLength(std::vector<uint8_t>& bytes, size_t length, int width) {
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<uint8_t>(length >> shift));
    }
}

// A TLS 1.2 ClientHello that TLS 1.2 and 1.3 servers both answer: with a ServerHello when a
// cipher suite fits, with an alert when none does. Either way the answer is a TLS record.
std::vector<uint8_t> clientHello() {
    std::vector<uint8_t> body{0x03, 0x03};  // TLS 1.2
    for (uint8_t i = 0; i < 32; ++i) {      // the random: nothing is ever encrypted with it
        body.push_back(static_cast<uint8_t>(i * 37 + 11));
    }
    body.push_back(0x00);  // no session id
    const std::array<uint8_t, 14> suites{0xc0, 0x2f, 0xc0, 0x2b, 0xc0, 0x30, 0xc0,
                                         0x2c, 0xcc, 0xa8, 0x00, 0x9c, 0x13, 0x01};
    appendLength(body, suites.size(), 2);
    body.insert(body.end(), suites.begin(), suites.end());
    body.insert(body.end(), {0x01, 0x00});  // no compression
    const std::vector<uint8_t> extensions{
        0x00, 0x0a, 0x00, 0x06, 0x00, 0x04, 0x00, 0x1d, 0x00, 0x17,              // groups: x25519, P-256
        0x00, 0x0b, 0x00, 0x02, 0x01, 0x00,                                      // uncompressed points
        0x00, 0x0d, 0x00, 0x0a, 0x00, 0x08, 0x04, 0x03, 0x08, 0x04, 0x04, 0x01,  // signatures
        0x05, 0x01,
    };
    appendLength(body, extensions.size(), 2);
    body.insert(body.end(), extensions.begin(), extensions.end());

    std::vector<uint8_t> record{0x16, 0x03, 0x01};
    appendLength(record, body.size() + 4, 2);
    record.push_back(0x01);  // ClientHello
    appendLength(record, body.size(), 3);
    record.insert(record.end(), body.begin(), body.end());
    return record;
}

int remainingMilliseconds(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// One server's probe: connect, send the hello, read the first two bytes of the answer.
struct Probe {
    UniqueFd socket;
    enum class Stage { connecting, sending, reading, done } stage = Stage::done;
    size_t sent = 0;
    std::array<uint8_t, 2> answer{};
    size_t received = 0;
    bool tls = false;
};

Probe start(const TlsProbeTarget& target) {
    Probe probe;
    sockaddr_storage peer{};
    socklen_t peerLength = 0;
    const QByteArray text = target.address.toLatin1();
    auto* v4 = reinterpret_cast<sockaddr_in*>(&peer);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&peer);
    if (::inet_pton(AF_INET, text.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(target.port);
        peerLength = sizeof *v4;
    } else if (::inet_pton(AF_INET6, text.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(target.port);
        peerLength = sizeof *v6;
    } else {
        return probe;
    }
    probe.socket = UniqueFd(::socket(peer.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!probe.socket.valid()) {
        return probe;
    }
    if (::connect(probe.socket.get(), reinterpret_cast<const sockaddr*>(&peer), peerLength) == 0) {
        probe.stage = Probe::Stage::sending;
    } else if (errno == EINPROGRESS) {
        probe.stage = Probe::Stage::connecting;
    }
    return probe;
}

// Moves the probe on as far as its socket allows without waiting.
void advance(Probe& probe, const std::vector<uint8_t>& hello) {
    if (probe.stage == Probe::Stage::connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(probe.socket.get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            probe.stage = Probe::Stage::done;
            return;
        }
        probe.stage = Probe::Stage::sending;
    }
    while (probe.stage == Probe::Stage::sending) {
        const ssize_t n =
            ::send(probe.socket.get(), hello.data() + probe.sent, hello.size() - probe.sent, MSG_NOSIGNAL);
        if (n > 0) {
            probe.sent += static_cast<size_t>(n);
            if (probe.sent == hello.size()) {
                probe.stage = Probe::Stage::reading;
            }
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        } else {
            probe.stage = Probe::Stage::done;
        }
    }
    while (probe.stage == Probe::Stage::reading) {
        const ssize_t n =
            ::recv(probe.socket.get(), probe.answer.data() + probe.received, probe.answer.size() - probe.received, 0);
        if (n > 0) {
            probe.received += static_cast<size_t>(n);
            if (probe.received == probe.answer.size()) {
                // A record header: its type (handshake or alert), then the major version 3.
                probe.tls = (probe.answer[0] == 0x16 || probe.answer[0] == 0x15) && probe.answer[1] == 0x03;
                probe.stage = Probe::Stage::done;
            }
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            return;
        } else {
            probe.stage = Probe::Stage::done;
        }
    }
}

}  // namespace

std::vector<bool> answerTls(const std::vector<TlsProbeTarget>& targets, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    static const std::vector<uint8_t> hello = clientHello();
    std::vector<Probe> probes;
    probes.reserve(targets.size());
    for (const TlsProbeTarget& target : targets) {
        probes.push_back(start(target));
    }
    std::vector<pollfd> watched;
    std::vector<size_t> watchedProbe;
    for (;;) {
        watched.clear();
        watchedProbe.clear();
        for (size_t i = 0; i < probes.size(); ++i) {
            const Probe& probe = probes[i];
            if (probe.stage == Probe::Stage::done) {
                continue;
            }
            const short events = probe.stage == Probe::Stage::reading ? POLLIN : POLLOUT;
            watched.push_back(pollfd{.fd = probe.socket.get(), .events = events, .revents = 0});
            watchedProbe.push_back(i);
        }
        const int wait = remainingMilliseconds(deadline);
        if (watched.empty() || wait == 0) {
            break;
        }
        const int ready = ::poll(watched.data(), watched.size(), wait);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        for (size_t i = 0; i < watched.size() && ready > 0; ++i) {
            if (watched[i].revents != 0) {
                advance(probes[watchedProbe[i]], hello);
            }
        }
    }
    std::vector<bool> answers;
    answers.reserve(probes.size());
    for (const Probe& probe : probes) {
        answers.push_back(probe.tls);
    }
    return answers;
}

bool answersTls(const QString& address, uint16_t port, std::chrono::milliseconds limit) {
    return answerTls({TlsProbeTarget{address, port}}, limit).front();
}

}  // namespace vantu::platform
