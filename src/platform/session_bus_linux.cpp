#include "platform/session_bus_linux.h"

#include <QDBusConnection>
#include <QDBusError>

#include <atomic>
#include <optional>

using namespace Qt::StringLiterals;

namespace vantu::platform::sessionBus {

std::variant<QDBusMessage, CallFailure> call(const QDBusMessage& call, std::chrono::milliseconds limit) {
    static std::atomic<int> calls{0};
    const QString name = u"vantu-call-%1"_s.arg(calls.fetch_add(1));
    std::variant<QDBusMessage, CallFailure> outcome;
    {
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                                                : QDBusConnection::connectToBus(address, name);
        if (!bus.isConnected()) {
            outcome = CallFailure{bus.lastError().message(), true};
        } else {
            QDBusMessage reply = bus.call(call, QDBus::Block, static_cast<int>(limit.count()));
            if (reply.type() == QDBusMessage::ErrorMessage) {
                outcome = CallFailure{reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage()};
            } else {
                outcome = std::move(reply);
            }
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return outcome;
}

}  // namespace vantu::platform::sessionBus
