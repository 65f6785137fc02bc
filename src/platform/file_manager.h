#pragma once

#include <QString>

#include <chrono>
#include <optional>

// The desktop's file manager, as the session bus offers it (org.freedesktop.FileManager1).
namespace vantu::platform::FileManager {

// Asks the file manager to show the folder. nullopt once it has taken the request; otherwise
// the reason it could not (no file manager on the bus, or its refusal), for the caller to try
// another way. Blocks up to `limit`: call it off the main thread.
std::optional<QString> showFolder(const QString& folder, std::chrono::milliseconds limit = std::chrono::seconds(5));

}  // namespace vantu::platform::FileManager
