#include "core/container_scan.h"

#include "platform/container_engine.h"
#include "platform/log.h"

#include <QMutexLocker>
#include <QSet>

#include <future>
#include <variant>
#include <vector>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// Far more than any real list of containers; an answer beyond it is no engine's.
constexpr qsizetype kMaxAnswer = 8 << 20;

struct Asked {
    std::optional<QList<Container>> containers;
    // Set when the engine was reached but gave no list.
    std::optional<QString> problem;
};

Asked ask(const EngineEndpoint& endpoint, std::chrono::milliseconds limit) {
    const auto answer =
        platform::engineRequest(endpoint.socketPath, "GET", "/v1.41/containers/json?all=true", limit, kMaxAnswer);
    const QString engine = endpoint.engineName() + u" at "_s + endpoint.socketPath;
    if (const auto* failure = std::get_if<platform::EngineFailure>(&answer)) {
        return failure->reachedEngine ? Asked{std::nullopt, engine + u": "_s + failure->reason} : Asked{};
    }
    const auto& reply = std::get<platform::EngineReply>(answer);
    if (reply.status != 200) {
        return Asked{std::nullopt, engine + u": it answered with status %1"_s.arg(reply.status)};
    }
    auto containers = ContainerList::parse(reply.body);
    if (!containers) {
        return Asked{std::nullopt, engine + u": its answer is not a list of containers"_s};
    }
    return Asked{std::move(containers), std::nullopt};
}

}  // namespace

QList<EngineEndpoint> ContainerScan::presentEndpoints() {
    QList<EngineEndpoint> present;
    static QMutex said;
    static QSet<QString> refused;
    for (const EngineEndpoint& endpoint : EngineEndpoints::candidates(platform::readEngineSettings())) {
        if (!platform::isSocket(endpoint.socketPath)) {
            continue;
        }
        if (platform::mayConnect(endpoint.socketPath)) {
            present.append(endpoint);
            continue;
        }
        // Another user's engine (root's Docker for a user outside its group): nothing of it is
        // the user's. Said once, not on every refresh.
        const QMutexLocker lock(&said);
        if (!refused.contains(endpoint.socketPath)) {
            refused.insert(endpoint.socketPath);
            qCInfo(lcScan).noquote() << endpoint.engineName() << "at" << endpoint.socketPath
                                     << "is not open to this user; its containers are not listed";
        }
    }
    return present;
}

ContainerScan::ContainerScan(Endpoints endpoints, std::chrono::milliseconds limit, std::chrono::milliseconds rest)
    : endpoints_(std::move(endpoints)), limit_(limit), rest_(rest) {}

ContainerScanResult ContainerScan::scan() const {
    QList<EngineEndpoint> asked;
    {
        const QMutexLocker lock(&mutex_);
        const auto now = std::chrono::steady_clock::now();
        for (const EngineEndpoint& endpoint : endpoints_()) {
            if (restingUntil_.value(endpoint.socketPath) <= now) {
                asked.append(endpoint);
            }
        }
    }
    // All at once: the slowest engine sets the time, not their sum.
    std::vector<std::future<Asked>> answers;
    answers.reserve(static_cast<size_t>(asked.size()));
    for (const EngineEndpoint& endpoint : asked) {
        answers.push_back(std::async(std::launch::async, ask, endpoint, limit_));
    }
    ContainerScanResult result;
    for (qsizetype i = 0; i < asked.size(); ++i) {
        Asked answer = answers[static_cast<size_t>(i)].get();
        if (answer.problem) {
            qCWarning(lcScan).noquote() << *answer.problem << "- not asked again for" << rest_.count() << "ms";
            const QMutexLocker lock(&mutex_);
            restingUntil_.insert(asked[i].socketPath, std::chrono::steady_clock::now() + rest_);
            result.problems.append(*answer.problem);
        } else if (answer.containers) {
            result.engines.append(EngineContainers{asked[i], std::move(*answer.containers)});
        }
    }
    return result;
}

}  // namespace vantu
