#pragma once

#include "core/listener.h"
#include "core/listener_scan.h"
#include "core/port_service_error.h"
#include "rules/discovery_settings.h"

#include <QList>
#include <QMap>
#include <QString>

#include <functional>
#include <variant>

namespace vantu {

// The steps of a snapshot after the scan: parse the listing, then identify projects.
namespace SnapshotAssembly {

using Enricher =
    std::function<QList<Listener>(QList<Listener>, const QMap<QString, QString>&, const DiscoverySettings&)>;

// The scan's error unchanged, the empty list when nothing is listening (without parsing or
// identifying anything), or every listener of the listing with its project. `enrich` is the
// project resolver unless a test watches the hand-off.
std::variant<QList<Listener>, ServiceError> assemble(std::variant<ScanOutcome, ServiceError> scanned,
                                                     const DiscoverySettings& settings,
                                                     const QMap<QString, QString>& overrides,
                                                     const Enricher& enrich = {});

}  // namespace SnapshotAssembly
}  // namespace vantu
