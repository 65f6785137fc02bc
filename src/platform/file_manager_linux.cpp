#include "platform/file_manager.h"

#include "platform/session_bus_linux.h"

#include <QDBusMessage>
#include <QStringList>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace vantu::platform::FileManager {

std::optional<QString> showFolder(const QString& folder, std::chrono::milliseconds limit) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
                                       u"org.freedesktop.FileManager1"_s, u"ShowFolders"_s);
    call << QStringList{QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded)} << QString();
    const auto answer = sessionBus::call(call, limit);
    if (const auto* failure = std::get_if<sessionBus::CallFailure>(&answer)) {
        return failure->message;
    }
    return std::nullopt;
}

}  // namespace vantu::platform::FileManager
