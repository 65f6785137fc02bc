#pragma once

#include <QString>

#include <chrono>
#include <optional>

// The user's own service manager (systemd --user), which starts some servers and would start
// them again if they were only signalled.
namespace vantu::platform::UserUnits {

// Asks the manager on the session bus to stop the unit, as `systemctl --user stop` does, and
// returns once the manager has taken the job (the unit's processes end afterwards, on the
// manager's time). nullopt when it has; otherwise the sentence that says why not.
std::optional<QString> stop(const QString& unit, std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace vantu::platform::UserUnits
