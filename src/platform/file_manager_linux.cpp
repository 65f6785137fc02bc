#include "platform/file_manager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QUrl>

#include <atomic>

using namespace Qt::StringLiterals;

namespace vantu::platform::FileManager {

std::optional<QString> showFolder(const QString& folder, std::chrono::milliseconds limit) {
    // A connection of its own per call, as the user's units are asked: this runs on worker
    // threads, away from the main thread's shared connection.
    static std::atomic<int> calls{0};
    const QString name = u"vantu-file-manager-%1"_s.arg(calls.fetch_add(1));
    std::optional<QString> outcome;
    {
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                                                : QDBusConnection::connectToBus(address, name);
        if (!bus.isConnected()) {
            outcome = bus.lastError().message();
        } else {
            QDBusMessage call =
                QDBusMessage::createMethodCall(u"org.freedesktop.FileManager1"_s, u"/org/freedesktop/FileManager1"_s,
                                               u"org.freedesktop.FileManager1"_s, u"ShowFolders"_s);
            call << QStringList{QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded)} << QString();
            const QDBusMessage reply = bus.call(call, QDBus::Block, static_cast<int>(limit.count()));
            if (reply.type() == QDBusMessage::ErrorMessage) {
                outcome = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
            }
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return outcome;
}

}  // namespace vantu::platform::FileManager
