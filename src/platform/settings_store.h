#pragma once

#include <QString>
#include <QVariant>

#include <memory>

class QSettings;

namespace vantu::platform {

// The per-user key-value store for preferences: one JSON file that keeps the type of every
// value (a boolean stays a boolean, text stays text, a map of text stays a JSON object).
// Used on the main thread only.
class SettingsStore {
public:
    // A store backed by the file at `filePath` (created on the first write).
    explicit SettingsStore(const QString& filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // The user's own file: $XDG_CONFIG_HOME/vantu/vantu.json, or ~/.config/vantu/vantu.json.
    static QString standardPath();

    // The stored value, with the type it was stored with (bool, QString, QVariantMap, double…);
    // an invalid QVariant when the key was never written or the file could not be read.
    [[nodiscard]] QVariant value(const QString& key) const;

    // Stores the value and writes the file at once (atomically); an invalid QVariant removes
    // the key. Reports nothing: a preference that cannot be written is not worth interrupting
    // the user for. A file that is not a JSON object reads as empty and is left alone until
    // such a write, which first keeps a copy of it as "<file>.damaged".
    void setValue(const QString& key, const QVariant& value);

    [[nodiscard]] QString filePath() const;

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace vantu::platform
