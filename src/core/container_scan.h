#pragma once

#include "core/container_list.h"
#include "core/engine_endpoints.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QStringList>

#include <chrono>
#include <functional>

namespace vantu {

// The containers one engine runs.
struct EngineContainers {
    EngineEndpoint endpoint;
    QList<Container> containers;
};

// What the user's engines run, and what went wrong with any of them, in words for the log.
struct ContainerScanResult {
    QList<EngineContainers> engines;
    QStringList problems;
};

// Asks every local container engine of the user which containers publish ports: all engines at
// once, each under a short limit. An absent engine costs a failed connect. One that was reached
// but failed (frozen, answering garbage) is left alone for a while instead of costing its
// limit on every refresh. Thread-safe; blocks: call off the main thread.
class ContainerScan {
public:
    using Endpoints = std::function<QList<EngineEndpoint>()>;

    // The engines whose sockets are there now.
    static QList<EngineEndpoint> presentEndpoints();

    explicit ContainerScan(Endpoints endpoints = presentEndpoints,
                           std::chrono::milliseconds limit = std::chrono::milliseconds(500),
                           std::chrono::milliseconds rest = std::chrono::seconds(30));

    [[nodiscard]] ContainerScanResult scan() const;

private:
    Endpoints endpoints_;
    std::chrono::milliseconds limit_;
    std::chrono::milliseconds rest_;
    mutable QMutex mutex_;
    // Socket path → when an engine that failed may be asked again.
    mutable QHash<QString, std::chrono::steady_clock::time_point> restingUntil_;
};

}  // namespace vantu
