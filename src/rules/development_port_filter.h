#pragma once

#include "core/listener.h"
#include "rules/discovery_settings.h"

#include <QString>

#include <optional>

namespace vantu {

// Decides which listening sockets are shown as development servers.
namespace DevelopmentPortFilter {

// Whether the listener is shown under these settings. Only the user's own processes ever
// are; hide rules beat include rules, which beat automatic detection. Without an
// `executablePath` the process itself is asked for its executable and its system unit; a
// path passed in stands for the process.
bool includes(const Listener& listener, const DiscoverySettings& settings = DiscoverySettings::defaults(),
              const std::optional<QString>& executablePath = std::nullopt);

// Whether automatic detection would consider the listener at all: the user's own, not a
// known system service (by name, by its executable's folder, or as a system unit's process),
// and a runtime by name or an executable outside system folders.
bool isAutomaticCandidate(const Listener& listener, const std::optional<QString>& executablePath = std::nullopt);

// Lower-cased command names of development runtimes (node, python3.11, next-server…).
bool isDevelopmentRuntime(const QString& lowerCasedName);

}  // namespace DevelopmentPortFilter
}  // namespace vantu
