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

// The steps of a snapshot: scan, parse the listing, then identify projects.
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

// A whole snapshot in the calling thread, from a listing tool the caller has already started
// (so that its run can overlap the caller's own start-up): while the tool runs, the projects
// of the user's runtime processes are read ahead; then the listing is collected, parsed and
// identified, reusing what was read ahead for the same process instances.
std::variant<QList<Listener>, ServiceError> take(ListenerScan::Running scan, const DiscoverySettings& settings,
                                                 const QMap<QString, QString>& overrides);

}  // namespace SnapshotAssembly
}  // namespace vantu
