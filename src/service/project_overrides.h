#pragma once

#include "service/port_service.h"

#include <QString>

namespace vantu {

namespace platform {
class SettingsStore;
}

// The user's project folder choices as they are kept in the per-user settings: one map from
// Listener::projectOverrideKey() to a folder path, shared by the app and vantu-cli.
namespace ProjectOverridesStorage {

inline const QString kKey = QStringLiteral("discovery.projectFolders");

// A stored map is used only when every value in it is a path; anything else is ignored whole
// rather than half-applied.
ProjectOverrides load(const platform::SettingsStore& settings);

// The whole map replaces the stored one; an empty map stays an empty object, so the key is
// never removed.
void save(platform::SettingsStore& settings, const ProjectOverrides& overrides);

}  // namespace ProjectOverridesStorage
}  // namespace vantu
