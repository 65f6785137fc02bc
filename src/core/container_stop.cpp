#include "core/container_stop.h"

#include "platform/container_engine.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <thread>

using namespace Qt::StringLiterals;

namespace vantu::ContainerStop {
namespace {

// A stop request returns once the container has ended, which for one that ignores its stop
// signal is the engine's whole stop timeout: it is left to the engine after this long.
constexpr std::chrono::milliseconds kSendLimit{1500};
constexpr std::chrono::milliseconds kLookLimit{500};
constexpr qsizetype kMaxAnswer = 4 << 20;

QByteArray pathOf(const EngineContainer& container, const char* what) {
    // The id came from the engine's answer; it goes into the path only as an escaped segment.
    return "/v1.41/containers/" + QUrl::toPercentEncoding(container.id) + what;
}

QString engineMessage(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object()[u"message"_s].toString().left(240);
}

PortServiceError couldNotStop(const EngineContainer& container, const QString& why) {
    return PortServiceError::refused(QCoreApplication::translate("ContainerStop", "%1 couldn’t stop %2: %3")
                                         .arg(container.endpoint.engineName(), container.name, why));
}

}  // namespace

std::optional<PortServiceError> send(const EngineContainer& container, bool force) {
    const auto answer = platform::engineRequest(container.endpoint.socketPath, "POST",
                                                pathOf(container, force ? "/kill" : "/stop"), kSendLimit, kMaxAnswer);
    if (const auto* failure = std::get_if<platform::EngineFailure>(&answer)) {
        // A stop still under way when the wait for its answer ran out goes on without us.
        return failure->timedOut && !force ? std::nullopt : std::optional(couldNotStop(container, failure->reason));
    }
    const auto& reply = std::get<platform::EngineReply>(answer);
    if (reply.status == 204 || reply.status == 200) {
        return std::nullopt;
    }
    // 304: stopped already; 404: gone; 409 to a kill: not running.
    if (reply.status == 304 || reply.status == 404 || (force && reply.status == 409)) {
        return PortServiceError::processExited();
    }
    const QString message = engineMessage(reply.body);
    return couldNotStop(container, message.isEmpty() ? u"status %1"_s.arg(reply.status) : message);
}

std::optional<bool> isRunning(const EngineContainer& container) {
    const auto answer = platform::engineRequest(container.endpoint.socketPath, "GET", pathOf(container, "/json"),
                                                kLookLimit, kMaxAnswer);
    const auto* reply = std::get_if<platform::EngineReply>(&answer);
    if (reply == nullptr) {
        return std::nullopt;
    }
    if (reply->status == 404) {
        return false;
    }
    const QJsonObject state = QJsonDocument::fromJson(reply->body).object()[u"State"_s].toObject();
    if (reply->status != 200 || !state.contains(u"Running"_s)) {
        return std::nullopt;
    }
    return state[u"Running"_s].toBool();
}

bool awaitEnd(const EngineContainer& container, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (isRunning(container) == false) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

}  // namespace vantu::ContainerStop
