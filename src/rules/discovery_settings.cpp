#include "rules/discovery_settings.h"

#include "platform/settings_store.h"

#include <QMetaType>

namespace vantu {
namespace {

QString storedText(const platform::SettingsStore& store, const QString& key) {
    const QVariant value = store.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

}  // namespace

std::variant<DiscoverySettings, PortRules::ValidationError> DiscoverySettings::create(bool automatic,
                                                                                      const QString& included,
                                                                                      const QString& excluded) {
    auto includedRules = PortRules::parse(included);
    if (auto* error = std::get_if<PortRules::ValidationError>(&includedRules)) {
        return std::move(*error);
    }
    auto excludedRules = PortRules::parse(excluded);
    if (auto* error = std::get_if<PortRules::ValidationError>(&excludedRules)) {
        return std::move(*error);
    }
    DiscoverySettings settings;
    settings.automatic_ = automatic;
    settings.includedText_ = included;
    settings.excludedText_ = excluded;
    settings.included_ = std::get<PortRules>(std::move(includedRules));
    settings.excluded_ = std::get<PortRules>(std::move(excludedRules));
    return settings;
}

DiscoverySettings DiscoverySettings::defaults() {
    return DiscoverySettings();
}

DiscoverySettings DiscoverySettings::load(const platform::SettingsStore& store) {
    const QVariant storedAutomatic = store.value(kAutomaticKey);
    const bool automatic = storedAutomatic.typeId() == QMetaType::Bool ? storedAutomatic.toBool() : true;
    auto settings = create(automatic, storedText(store, kIncludedKey), storedText(store, kExcludedKey));
    if (auto* loaded = std::get_if<DiscoverySettings>(&settings)) {
        return std::move(*loaded);
    }
    // A rule text that no longer parses discards the whole configuration, automatic flag
    // included, rather than applying a part of it.
    return defaults();
}

std::optional<QString> DiscoverySettings::save(platform::SettingsStore& store) const {
    auto failed = store.setValue(kAutomaticKey, automatic_);
    if (!failed) {
        failed = store.setValue(kIncludedKey, includedText_);
    }
    if (!failed) {
        failed = store.setValue(kExcludedKey, excludedText_);
    }
    return failed;
}

}  // namespace vantu
