#include <QCoreApplication>
#include "platform/settings_store.h"

#include "platform/file_system.h"
#include "platform/log.h"
#include "platform/process_signal.h"
#include "platform/unique_fd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <functional>

using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

// Far more than any real preferences file; a larger file is not read.
constexpr int64_t kMaxFileBytes = 1024 * 1024;

struct ReadBack {
    QJsonObject object;
    // Something is there that is not a readable JSON object: a FIFO, a device, a huge or
    // damaged file.
    bool odd = false;
    // For a file that is there but cannot be read as settings: the line of the first fault, when
    // its text was read.
    std::optional<qsizetype> faultyLine;
};

// What the user is told of settings that could not be read.
QString readProblemText(const QString& path, std::optional<qsizetype> line) {
    const QString kept = QFileInfo(path).fileName() + u".damaged"_s;
    return line ? QCoreApplication::translate(
                      "SettingsStore",
                      "Couldn’t read the settings (line %1); using the defaults. The file will be kept as %2.")
                      .arg(*line)
                      .arg(kept)
                : QCoreApplication::translate(
                      "SettingsStore", "Couldn’t read the settings; using the defaults. The file will be kept as %1.")
                      .arg(kept);
}

ReadBack readObject(const QString& path) {
    if (!exists(path)) {
        return {};
    }
    const auto bytes = readRegularFile(path, kMaxFileBytes);
    if (!bytes) {
        qCWarning(lcSettings, "cannot read %s: not a readable regular file of sane size", qUtf8Printable(path));
        return {.odd = true};
    }
    if (bytes->isEmpty()) {
        return {};
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        qCWarning(lcSettings, "cannot read %s: %s", qUtf8Printable(path),
                  error.error != QJsonParseError::NoError ? qUtf8Printable(error.errorString()) : "not a JSON object");
        // The parser's offset lies just past what it could not read.
        const qsizetype faultAt = error.error != QJsonParseError::NoError ? error.offset - 1 : 0;
        return {.odd = true,
                .faultyLine = bytes->first(std::clamp<qsizetype>(faultAt, 0, bytes->size())).count('\n') + 1};
    }
    return {.object = document.object()};
}

// A failed save: a line in the log, and the sentence for the user.
QString saveFailure(const QString& path, int errorNumber) {
    const QString reason = errorText(errorNumber);
    qCWarning(lcSettings, "cannot save %s: %s", qUtf8Printable(path), qUtf8Printable(reason));
    return QCoreApplication::translate("SettingsStore", "Couldn’t save settings: %1.").arg(reason);
}

// Creates the folder and its parents; 0 or the errno of the failure.
int makeFolders(const QByteArray& folder) {
    qsizetype slash = 0;
    do {
        slash = folder.indexOf('/', slash + 1);
        const QByteArray part = slash < 0 ? folder : folder.first(slash);
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
    } while (slash >= 0);
    struct stat info {};
    if (::stat(folder.constData(), &info) != 0) {
        return errno;
    }
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

// Writes all bytes to a new file beside `path` and renames it over `path`.
int replaceFile(const QByteArray& path, const QByteArray& bytes) {
    QByteArray temporary = path + QByteArrayLiteral(".XXXXXX");
    UniqueFd fd(::mkstemp(temporary.data()));
    if (!fd.valid()) {
        return errno;
    }
    int error = 0;
    for (qsizetype written = 0; written < bytes.size() && error == 0;) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n > 0) {
            written += n;
        }
    }
    if (error == 0 && ::fsync(fd.get()) != 0) {
        error = errno;
    }
    fd.reset();
    if (error == 0 && ::rename(temporary.constData(), path.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temporary.constData());
    }
    return error;
}

// How many damaged files are kept: the latest as "<file>.damaged", the earlier ones as
// "<file>.damaged.1" (the one before) to "<file>.damaged.4". Numbers, not times, order them:
// the latest keeps the name the user knows, and two in one second cannot collide.
constexpr int kDamagedCopies = 5;

QByteArray damagedCopy(const QByteArray& file, int age) {
    return file + QByteArrayLiteral(".damaged") + (age == 0 ? QByteArray() : '.' + QByteArray::number(age));
}

// Sets the damaged file aside as the latest copy, each earlier copy moving one number on and the
// oldest dropped once every name is taken; 0 or the errno of the failure, which leaves the
// damaged file where it is.
int keepDamaged(const QByteArray& file) {
    // Renames only, from the oldest down: each copy moves to a name just vacated.
    for (int age = kDamagedCopies - 1; age > 0; --age) {
        if (::rename(damagedCopy(file, age - 1).constData(), damagedCopy(file, age).constData()) != 0 &&
            errno != ENOENT) {
            return errno;
        }
    }
    return ::rename(file.constData(), damagedCopy(file, 0).constData()) == 0 ? 0 : errno;
}

// Reads the file again under a lock on its folder, applies `change`, writes the result.
std::optional<QString> update(const QString& path, QVariantMap& values,
                              const std::function<void(QJsonObject&)>& change) {
    const QByteArray file = QFile::encodeName(path);
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    if (const int error = makeFolders(folder); error != 0) {
        return saveFailure(path, error);
    }
    // Two instances saving at once take turns; the lock goes with the descriptor.
    UniqueFd lock(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!lock.valid()) {
        return saveFailure(path, errno);
    }
    while (::flock(lock.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            return saveFailure(path, errno);
        }
    }
    ReadBack current = readObject(path);
    if (current.odd) {
        // The unreadable file is about to be replaced: keep it beside the new one, so that a
        // hand edit gone wrong can still be repaired.
        if (const int error = keepDamaged(file); error != 0) {
            return saveFailure(path, error);
        }
        qCDebug(lcSettings, "kept the unreadable %s as %s", file.constData(), damagedCopy(file, 0).constData());
    }
    change(current.object);
    if (const int error = replaceFile(file, QJsonDocument(current.object).toJson(QJsonDocument::Indented));
        error != 0) {
        return saveFailure(path, error);
    }
    values = current.object.toVariantMap();
    return std::nullopt;
}

}  // namespace

SettingsStore::SettingsStore(const QString& filePath) : path_(QFileInfo(filePath).absoluteFilePath()) {
    const ReadBack read = readObject(path_);
    values_ = read.object.toVariantMap();
    if (read.odd) {
        readProblem_ = readProblemText(path_, read.faultyLine);
    }
}

QString SettingsStore::standardPath() {
    // The base folder convention asks to ignore a relative XDG_CONFIG_HOME.
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base)) {
        base = QDir::homePath() + u"/.config"_s;
    }
    return QDir::cleanPath(base + u"/vantu/vantu.json"_s);
}

QVariant SettingsStore::value(const QString& key) const {
    return values_.value(key);
}

std::optional<QString> SettingsStore::setValue(const QString& key, const QVariant& value) {
    return update(path_, values_, [&](QJsonObject& object) {
        if (value.isValid()) {
            object.insert(key, QJsonValue::fromVariant(value));
        } else {
            object.remove(key);
        }
    });
}

QMap<QString, QString> SettingsStore::textMap(const QString& key) const {
    const QVariantMap stored = values_.value(key).toMap();
    QMap<QString, QString> map;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QString) {
            map.insert(it.key(), it.value().toString());
        }
    }
    return map;
}

std::optional<QString> SettingsStore::setTextMapEntry(const QString& key, const QString& entry,
                                                      const std::optional<QString>& text) {
    return update(path_, values_, [&](QJsonObject& object) {
        // A value of another kind under the key is replaced: it could never be read as a map.
        QJsonObject map = object.value(key).toObject();
        for (auto it = map.begin(); it != map.end();) {
            if (it.value().isString()) {
                ++it;
            } else {
                it = map.erase(it);
            }
        }
        if (text) {
            map.insert(entry, *text);
        } else {
            map.remove(entry);
        }
        object.insert(key, map);
    });
}

}  // namespace vantu::platform
