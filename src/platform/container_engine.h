#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

namespace vantu::platform {

// What a container engine (Docker, Podman) answered to one request over its unix socket.
struct EngineReply {
    int status = 0;
    QByteArray body;
};

// Why a request got no usable answer, in words ("no engine listens there", "it did not answer
// within 0.5 s", "its answer was larger than 8 MB").
struct EngineFailure {
    QString reason;
    // The socket was there and accepted the connection: the engine runs but is unwell.
    bool reachedEngine = false;
    // The request was sent and the answer did not come within the limit: the engine may still
    // be carrying it out.
    bool timedOut = false;
};

// One HTTP request to the engine API behind the unix socket at `socketPath`, with the whole
// exchange held to `limit`: a frozen engine still accepts connections and then never answers,
// so a limit on the connect alone would not do. Answers larger than `maxBytes` are cut off and
// count as failures. Blocks: call off the main thread. `method` is "GET" or "POST".
std::variant<EngineReply, EngineFailure> engineRequest(const QString& socketPath, const QByteArray& method,
                                                       const QByteArray& path, std::chrono::milliseconds limit,
                                                       qsizetype maxBytes);

// Follows a streaming answer (the engine's events) until `keepGoing` says no, the engine closes
// it, or it fails: each piece that arrives goes to `received` as it comes. `keepGoing` is also
// asked at least every second while nothing arrives, so a caller can end the stream at any time.
// Only the connection is held to `connectLimit`. Returns why the stream ended, when it was not
// the caller who ended it. Blocks: call off the main thread.
std::optional<EngineFailure> engineStream(const QString& socketPath, const QByteArray& path,
                                          std::chrono::milliseconds connectLimit,
                                          const std::function<void(const QByteArray&)>& received,
                                          const std::function<bool()>& keepGoing);

// Everything the choice of the user's engine sockets depends on, read from the environment
// and the docker client's configuration.
struct EngineSettings {
    std::optional<QString> dockerHost;     // DOCKER_HOST
    std::optional<QString> containerHost;  // CONTAINER_HOST
    // The endpoint of the docker client's current context, when one other than the default is
    // chosen (DOCKER_CONTEXT, or currentContext in its config.json).
    std::optional<QString> dockerContextHost;
    QString runtimeDirectory;  // XDG_RUNTIME_DIR, empty when unset
    QString homeDirectory;
};

EngineSettings readEngineSettings();

// Whether a unix socket is at `path` (not whether anything listens on it).
bool isSocket(const QString& path);

// Whether this user may connect to the socket at `path`: another user's engine socket refuses.
bool mayConnect(const QString& path);

}  // namespace vantu::platform
