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
// `executablePath` the process's executable is looked up when needed.
bool includes(const Listener& listener, const DiscoverySettings& settings = DiscoverySettings::defaults(),
              const std::optional<QString>& executablePath = std::nullopt);

// Whether automatic detection would consider the listener at all: the user's own, not a
// known system service, and a runtime by name or an executable outside system folders.
bool isAutomaticCandidate(const Listener& listener, const std::optional<QString>& executablePath = std::nullopt);

// Lower-cased command names of development runtimes (node, python3.11, next-server…).
bool isDevelopmentRuntime(const QString& lowerCasedName);

}  // namespace DevelopmentPortFilter
}  // namespace vantu
