#pragma once

#include <QMap>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace vantu::platform {

// The per-user key-value store for preferences: one JSON file that keeps the type of every
// value (a boolean stays a boolean, text stays text, a map of text stays a JSON object).
// Used on the main thread only.
//
// The file is read once, at construction, and opened as carefully as any file a stranger may
// have put there: only a regular file of sane size is read, and never in a way that could
// block (a FIFO in its place reads as an empty store). Anything unreadable is left untouched
// until the user saves; then it is kept beside the new file as "<file>.damaged", earlier such
// copies moving on to "<file>.damaged.1" and up, the five latest kept.
//
// Writes merge: under a lock, the file is read again, only what the caller changes is applied,
// and the result replaces the file atomically. Other instances and hand edits lose nothing.
class SettingsStore {
public:
    // A store backed by the file at `filePath` (created on the first write).
    explicit SettingsStore(const QString& filePath);

    // The user's own file: $XDG_CONFIG_HOME/vantu/vantu.json, or ~/.config/vantu/vantu.json.
    static QString standardPath();

    // The stored value, with the type it was stored with (bool, QString, QVariantMap, double…);
    // an invalid QVariant when the key was never written or the file could not be read.
    [[nodiscard]] QVariant value(const QString& key) const;

    // Stores the value and writes the file at once; an invalid QVariant removes the key.
    // nullopt when it was saved, else the sentence to show the user.
    std::optional<QString> setValue(const QString& key, const QVariant& value);

    // The map of text stored under `key`. An entry that holds anything else (a hand edit gone
    // wrong) is left out, not the whole map.
    [[nodiscard]] QMap<QString, QString> textMap(const QString& key) const;

    // Sets one entry of the map of text stored under `key` (nullopt removes it), leaving the
    // map's other entries as the file has them now, except those that are not text: they are
    // dropped from the file. The map stays, if empty.
    std::optional<QString> setTextMapEntry(const QString& key, const QString& entry,
                                           const std::optional<QString>& text);

    [[nodiscard]] QString filePath() const { return path_; }

    // Why the file could not be read when the store was made, for the user ("Couldn’t read the
    // settings (line 4); using the defaults. The file will be kept as vantu.json.damaged.");
    // nullopt when it was read or is not there.
    [[nodiscard]] const std::optional<QString>& readProblem() const { return readProblem_; }

private:
    QString path_;
    QVariantMap values_;
    std::optional<QString> readProblem_;
};

}  // namespace vantu::platform
