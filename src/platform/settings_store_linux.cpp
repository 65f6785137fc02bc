#include "platform/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSettings>

#include <optional>

using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

std::optional<QJsonObject> parseObject(const QByteArray& bytes) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    return document.object();
}

// A file that is not one JSON object is unreadable as a whole: QSettings then reports a
// format error and presents an empty store.
bool readJson(QIODevice& device, QSettings::SettingsMap& map) {
    const auto parsed = parseObject(device.readAll());
    if (!parsed) {
        return false;
    }
    const QJsonObject& object = *parsed;
    for (auto it = object.begin(); it != object.end(); ++it) {
        // Objects come back as QVariantMap with their keys untouched: QSettings splits only
        // its own top-level keys at '/', never the keys inside a value.
        map.insert(it.key(), it.value().toVariant());
    }
    return true;
}

bool writeJson(QIODevice& device, const QSettings::SettingsMap& map) {
    QJsonObject object;
    for (auto it = map.begin(); it != map.end(); ++it) {
        object.insert(it.key(), QJsonValue::fromVariant(it.value()));
    }
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    return device.write(bytes) == bytes.size();
}

QSettings::Format jsonFormat() {
    static const QSettings::Format format = QSettings::registerFormat(u"json"_s, readJson, writeJson);
    return format;
}

// Whether the file exists with content that the store cannot read. It is checked at each
// write rather than once, since the file may have been edited while the app runs.
bool isDamaged(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    return !bytes.isEmpty() && !parseObject(bytes);
}

}  // namespace

SettingsStore::SettingsStore(const QString& filePath)
    : settings_(std::make_unique<QSettings>(QFileInfo(filePath).absoluteFilePath(), jsonFormat())) {}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::standardPath() {
    // The base folder convention asks to ignore a relative XDG_CONFIG_HOME.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + u"/.config"_s;
    }
    return QDir::cleanPath(base + u"/vantu/vantu.json"_s);
}

QVariant SettingsStore::value(const QString& key) const {
    return settings_->value(key);
}

void SettingsStore::setValue(const QString& key, const QVariant& value) {
    if (isDamaged(filePath())) {
        // The unreadable file is about to be replaced: keep its bytes beside it, so that a
        // hand edit gone wrong can still be repaired.
        const QString aside = filePath() + u".damaged"_s;
        QFile::remove(aside);
        QFile::copy(filePath(), aside);
    }
    if (value.isValid()) {
        settings_->setValue(key, value);
    } else {
        settings_->remove(key);
    }
    settings_->sync();
}

QString SettingsStore::filePath() const {
    return settings_->fileName();
}

}  // namespace vantu::platform
