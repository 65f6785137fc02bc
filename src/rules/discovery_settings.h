#pragma once

#include "rules/port_rules.h"

#include <QString>

#include <variant>

namespace vantu {

namespace platform {
class SettingsStore;
}

// The user's discovery configuration: detect dev servers automatically, ports always
// included, ports always hidden. A value with an invalid rule text cannot exist.
class DiscoverySettings {
public:
    static inline const QString kAutomaticKey = QStringLiteral("discovery.automatic");
    static inline const QString kIncludedKey = QStringLiteral("discovery.included");
    static inline const QString kExcludedKey = QStringLiteral("discovery.excluded");

    // Parses the included text first, then the excluded one; the first failure is returned.
    // Texts are kept exactly as typed.
    static std::variant<DiscoverySettings, PortRules::ValidationError> create(bool automatic, const QString& included,
                                                                              const QString& excluded);
    // Automatic detection on, no rules.
    static DiscoverySettings defaults();

    // Never fails: a missing or wrongly typed value takes its default, and a stored rule text
    // that no longer parses gives `defaults()` as a whole.
    static DiscoverySettings load(const platform::SettingsStore& store);
    std::optional<QString> save(platform::SettingsStore& store) const;

    [[nodiscard]] bool automatic() const { return automatic_; }
    void setAutomatic(bool automatic) { automatic_ = automatic; }
    [[nodiscard]] const QString& includedText() const { return includedText_; }
    [[nodiscard]] const QString& excludedText() const { return excludedText_; }
    [[nodiscard]] const PortRules& included() const { return included_; }
    [[nodiscard]] const PortRules& excluded() const { return excluded_; }

    friend bool operator==(const DiscoverySettings&, const DiscoverySettings&) = default;

private:
    DiscoverySettings() = default;
    bool automatic_ = true;
    QString includedText_;
    QString excludedText_;
    PortRules included_;
    PortRules excluded_;
};

}  // namespace vantu
