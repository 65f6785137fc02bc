// Stopping a user unit over a real, private session bus, with a stand-in for the manager.
#include "platform/user_units.h"
#include "fake_tools.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vantu {
namespace {

TEST(UserUnitsTest, TheManagerIsAskedAndItsAnswerIsToldInWords) {
    const QString daemon = QStandardPaths::findExecutable(u"dbus-daemon"_s);
    if (daemon.isEmpty()) {
        GTEST_SKIP() << "dbus-daemon is not installed";
    }
    QProcess bus;
    bus.start(daemon, {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--print-address=1"_s});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << bus.readAllStandardError().toStdString();
    const QByteArray address = bus.readLine().trimmed();
    test::ScopedEnvironment environment;
    environment.set("DBUS_SESSION_BUS_ADDRESS", address);

    test::SpawnedListener server = test::SpawnedListener::start();
    QProcess manager;
    manager.start(QStringLiteral(VANTU_FAKE_USER_MANAGER_PATH), {u"api.service"_s, QString::number(server.pid())});
    ASSERT_TRUE(manager.waitForReadyRead(10000)) << manager.readAllStandardError().toStdString();

    struct Case {
        const char* what;
        QString unit;
        std::optional<QString> answer;
    };
    const Case cases[] = {
        {"a unit the manager does not know", u"gone.service"_s,
         u"Couldn’t stop gone.service: Unit gone.service not loaded."_s},
        {"not the name of a service", u"../api.service"_s,
         u"Couldn’t stop ../api.service: that is not the name of a service."_s},
        {"the server's unit", u"api.service"_s, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::UserUnits::stop(c.unit), c.answer) << c.what;
    }
    EXPECT_TRUE(server.waitForExit(5000ms)) << "the manager ended the unit's process";

    environment.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus");
    const auto unreachable = platform::UserUnits::stop(u"api.service"_s);
    ASSERT_TRUE(unreachable.has_value());
    EXPECT_TRUE(unreachable->startsWith(u"Couldn’t stop api.service: the session bus can’t be reached ("_s))
        << unreachable->toStdString();

    manager.kill();
    manager.waitForFinished();
    bus.kill();
    bus.waitForFinished();
}

}  // namespace
}  // namespace vantu
