// A stand-in for the user's service manager (systemd --user) on a private session bus, for the
// tests of stopping a unit: CI has no user manager. It knows one unit, whose process it ends with
// SIGTERM when the unit is stopped, as the real manager does; any other unit is not loaded.
//
//   fake_user_manager UNIT PID    (prints "ready" once it owns its bus name)
#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>

#include <csignal>
#include <cstdio>

class Manager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Manager")

public:
    Manager(QString unit, pid_t pid) : unit_(std::move(unit)), pid_(pid) {}

public Q_SLOTS:
    QDBusObjectPath StopUnit(const QString& name, const QString& mode) {
        if (name != unit_ || mode != QStringLiteral("replace")) {
            sendErrorReply(QStringLiteral("org.freedesktop.systemd1.NoSuchUnit"),
                           QStringLiteral("Unit %1 not loaded.").arg(name));
            return {};
        }
        ::kill(pid_, SIGTERM);
        return QDBusObjectPath(QStringLiteral("/org/freedesktop/systemd1/job/1"));
    }

private:
    QString unit_;
    pid_t pid_;
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: fake_user_manager UNIT PID\n", stderr);
        return 64;
    }
    Manager manager(QString::fromLocal8Bit(argv[1]), static_cast<pid_t>(std::atoi(argv[2])));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/systemd1"), &manager, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.systemd1"))) {
        std::fprintf(stderr, "fake_user_manager: %s\n", qPrintable(bus.lastError().message()));
        return 1;
    }
    std::puts("ready");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "fake_user_manager_main.moc"
