#include "platform/user_units.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

#include <atomic>

using namespace Qt::StringLiterals;

namespace vantu::platform::UserUnits {

std::optional<QString> stop(const QString& unit, std::chrono::milliseconds limit) {
    const auto failed = [&unit](const QString& reason) {
        return QCoreApplication::translate("UserUnits", "Couldn’t stop %1: %2").arg(unit, reason);
    };
    // A name from a control group path is a unit name already; anything else is not asked for.
    if (!unit.endsWith(u".service"_s) || unit.contains(u'/')) {
        return failed(QCoreApplication::translate("UserUnits", "that is not the name of a service."));
    }
    // A bus of its own per call: this runs on worker threads, and the shared session bus
    // connection would tie the call to the main thread's event loop.
    static std::atomic<int> calls{0};
    const QString name = u"vantu-units-%1"_s.arg(calls.fetch_add(1));
    std::optional<QString> outcome;
    {
        // The address as the environment gives it now (the bus library would keep the first one it
        // saw for the life of the process).
        const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QDBusConnection bus = address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                                                : QDBusConnection::connectToBus(address, name);
        if (!bus.isConnected()) {
            outcome = failed(QCoreApplication::translate("UserUnits", "the session bus can’t be reached (%1).")
                                 .arg(bus.lastError().message()));
        } else {
            QDBusMessage call =
                QDBusMessage::createMethodCall(u"org.freedesktop.systemd1"_s, u"/org/freedesktop/systemd1"_s,
                                               u"org.freedesktop.systemd1.Manager"_s, u"StopUnit"_s);
            call << unit << u"replace"_s;
            const QDBusMessage reply = bus.call(call, QDBus::Block, static_cast<int>(limit.count()));
            if (reply.type() == QDBusMessage::ErrorMessage) {
                outcome = failed(reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage());
            }
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return outcome;
}

}  // namespace vantu::platform::UserUnits
