#pragma once

#include <optional>

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

// An entry whose folder is not text (a hand edit gone wrong) is left out; the others hold.
ProjectOverrides load(const platform::SettingsStore& settings);

// Stores one choice, or removes it when `folder` is nullopt, leaving every other stored choice
// as the file has it (another instance, or the user, may have changed them) and dropping the
// entries that are not text from the file. An empty map stays an empty object, so the key is
// never removed. nullopt, or the sentence to show.
std::optional<QString> saveChoice(platform::SettingsStore& settings, const QString& key,
                                  const std::optional<QString>& folder);

}  // namespace ProjectOverridesStorage
}  // namespace vantu
