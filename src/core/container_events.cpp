#include "core/container_events.h"

#include "platform/container_engine.h"
#include "platform/log.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace Qt::StringLiterals;

namespace vantu {

struct ContainerEvents::Shared {
    std::function<void()> changed;
    std::atomic<bool> ended{false};
    std::mutex mutex;
    std::condition_variable wake;
};

namespace {

// Only container events are asked for. The actions are picked here: Podman 4.3 filters
// "event=die" to nothing, as it calls the action "died" there but reports "die".
const QByteArray kEventsPath = R"(/v1.41/events?filters=%7B%22type%22%3A%5B%22container%22%5D%7D)";

void follow(const EngineEndpoint& endpoint, const std::shared_ptr<ContainerEvents::Shared>& shared) {
    std::chrono::milliseconds pause{1000};
    while (!shared->ended) {
        QByteArray pending;
        const auto began = std::chrono::steady_clock::now();
        const auto failure = platform::engineStream(
            endpoint.socketPath, kEventsPath, std::chrono::milliseconds(500),
            [&](const QByteArray& piece) {
                pending += piece;
                qsizetype end = 0;
                while ((end = pending.indexOf('\n')) >= 0) {
                    if (ContainerEvents::isListChange(pending.left(end))) {
                        // Under the lock the destructor takes: once it has returned, no call is made.
                        const std::lock_guard lock(shared->mutex);
                        if (!shared->ended) {
                            shared->changed();
                        }
                    }
                    pending.remove(0, end + 1);
                }
                // A line without its end this long is no event.
                if (pending.size() > (1 << 20)) {
                    pending.clear();
                }
            },
            [&] { return !shared->ended.load(); });
        if (!failure) {
            return;
        }
        // A stream that held for a while earns a quick reconnect; one that keeps breaking waits longer.
        pause = std::chrono::steady_clock::now() - began > std::chrono::seconds(30)
                    ? std::chrono::milliseconds(1000)
                    : std::min(pause * 2, std::chrono::milliseconds(30000));
        qCDebug(lcScan).noquote() << endpoint.engineName() << "events at" << endpoint.socketPath << ":"
                                  << failure->reason << "- again in" << pause.count() << "ms";
        std::unique_lock lock(shared->mutex);
        shared->wake.wait_for(lock, pause, [&] { return shared->ended.load(); });
    }
}

}  // namespace

ContainerEvents::ContainerEvents(const QList<EngineEndpoint>& endpoints, std::function<void()> changed)
    : shared_(std::make_shared<Shared>()) {
    shared_->changed = std::move(changed);
    for (const EngineEndpoint& endpoint : endpoints) {
        std::thread(follow, endpoint, shared_).detach();
    }
}

ContainerEvents::~ContainerEvents() {
    {
        const std::lock_guard lock(shared_->mutex);
        shared_->ended = true;
    }
    shared_->wake.notify_all();
}

bool ContainerEvents::isListChange(const QByteArray& line) {
    const QJsonObject event = QJsonDocument::fromJson(line).object();
    const QString type = event[u"Type"_s].toString();
    const QString action = event[u"Action"_s].toString(event[u"status"_s].toString());
    return (type.isEmpty() || type == u"container"_s) &&
           (action == u"start"_s || action == u"die"_s || action == u"died"_s || action == u"destroy"_s);
}

}  // namespace vantu
