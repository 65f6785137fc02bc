#include "service/project_overrides.h"

#include "platform/settings_store.h"

namespace vantu::ProjectOverridesStorage {

ProjectOverrides load(const platform::SettingsStore& settings) {
    return settings.textMap(kKey);
}

std::optional<QString> saveChoice(platform::SettingsStore& settings, const QString& key,
                                  const std::optional<QString>& folder) {
    return settings.setTextMapEntry(kKey, key, folder);
}

}  // namespace vantu::ProjectOverridesStorage
