#include "service/project_overrides.h"

#include "platform/settings_store.h"

#include <QVariantMap>

namespace vantu::ProjectOverridesStorage {

ProjectOverrides load(const platform::SettingsStore& settings) {
    const QVariant stored = settings.value(kKey);
    if (stored.typeId() != QMetaType::QVariantMap) {
        return {};
    }
    const QVariantMap map = stored.toMap();
    ProjectOverrides overrides;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        if (it.value().typeId() != QMetaType::QString) {
            return {};
        }
        overrides.insert(it.key(), it.value().toString());
    }
    return overrides;
}

std::optional<QString> saveChoice(platform::SettingsStore& settings, const QString& key,
                                  const std::optional<QString>& folder) {
    return settings.setMapEntry(kKey, key, folder ? QVariant(*folder) : QVariant());
}

}  // namespace vantu::ProjectOverridesStorage
