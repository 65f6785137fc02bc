#include "platform/user_units.h"

#include "platform/session_bus_linux.h"

#include <QCoreApplication>
#include <QDBusMessage>

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
    QDBusMessage call = QDBusMessage::createMethodCall(u"org.freedesktop.systemd1"_s, u"/org/freedesktop/systemd1"_s,
                                                       u"org.freedesktop.systemd1.Manager"_s, u"StopUnit"_s);
    call << unit << u"replace"_s;
    const auto answer = sessionBus::call(call, limit);
    const auto* failure = std::get_if<sessionBus::CallFailure>(&answer);
    if (failure == nullptr) {
        return std::nullopt;
    }
    return failed(
        failure->busUnreachable
            ? QCoreApplication::translate("UserUnits", "the session bus can’t be reached (%1).").arg(failure->message)
            : failure->message);
}

}  // namespace vantu::platform::UserUnits
