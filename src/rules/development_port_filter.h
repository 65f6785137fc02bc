#pragma once

#include "core/listener.h"
#include "rules/discovery_settings.h"

#include <QString>

#include <optional>

namespace vantu {

// Decides which listening sockets are shown as development servers.
namespace DevelopmentPortFilter {

// Whether the listener is shown under these settings. Only the user's own processes ever
// are; hide rules beat include rules, which beat automatic detection. Decided from the record
// alone: what it needs of the process was read with the snapshot.
bool includes(const Listener& listener, const DiscoverySettings& settings = DiscoverySettings::defaults());

// Whether automatic detection would consider the listener at all: the user's own, not a known
// system service (by name, or one of the system's own programs), and a runtime by name or an
// executable outside system folders.
bool isAutomaticCandidate(const Listener& listener);

// Lower-cased command names of development runtimes (node, python3.11, next-server…).
bool isDevelopmentRuntime(const QString& lowerCasedName);

}  // namespace DevelopmentPortFilter
}  // namespace vantu
