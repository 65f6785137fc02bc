#include "platform/system_service.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <tuple>
#include <vector>

namespace vantu::platform {
namespace {

using test::SpawnedListener;

TEST(SystemServiceTest, ProcessesOfOtherSystemUnits) {
    // This program, run from a terminal of a desktop session.
    const char* desktop =
        "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-terminal.slice/vte.scope\n";
    const char* runner = "0::/system.slice/ci-runner.service\n";
    const std::vector<std::tuple<const char*, const char*, bool>> cases = {
        {"0::/system.slice/nginx.service\n", desktop, true},
        {"0::/system.slice/system-getty.slice/getty@tty1.service\n", desktop, true},
        {"0::/system.slice/docker-0123abcd.scope\n", desktop, true},
        {"0::/system.slice/postgresql@15-main.service/worker\n", desktop, true},
        {"0::/system.slice/odd:name.service", desktop, true},
        // The user's own services, applications and logins.
        {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-code.scope\n", desktop, false},
        {"0::/user.slice/user-1000.slice/user@1000.service/app.slice/vite.service\n", desktop, false},
        {"0::/user.slice/user-1000.slice/session-2.scope\n", desktop, false},
        {"0::/init.scope\n", desktop, false},
        // No service manager (a container), or nothing could be read.
        {"0::/\n", desktop, false},
        {"", desktop, false},
        {"0::/system.slicex/nginx.service\n", desktop, false},
        {"0::/user.slice/system.slice/nginx.service\n", desktop, false},
        // The legacy layout: only the service manager's own hierarchy says where a process is.
        {"12:pids:/system.slice/cron.service\n1:name=systemd:/system.slice/cron.service\n0::/\n", desktop, true},
        {"4:memory:/system.slice/cron.service\n1:name=systemd:/user.slice/user-1000.slice/session-2.scope\n", desktop,
         false},
        // A unit this program runs in itself (a CI job) started the process alongside it.
        {"0::/system.slice/ci-runner.service\n", runner, false},
        {"0::/system.slice/ci-runner.service/job-7\n", "0::/system.slice/ci-runner.service/job-7/shell\n", false},
        {"0::/system.slice/ci-runner.service\n", "0::/system.slice/ci-runner.services\n", true},
        {"0::/system.slice/nginx.service\n", runner, true},
        {"0::/system.slice/nginx.service\n", "", true},
    };
    for (const auto& [groups, own, expected] : cases) {
        EXPECT_EQ(belongsToOtherSystemUnit(QByteArray(groups), QByteArray(own)), expected)
            << "process " << groups << "own " << own;
    }
}

TEST(SystemServiceTest, AProcessThisProgramStartedIsNoSystemService) {
    // Wherever the tests run (a desktop, a container, a CI runner's unit), a child shares it.
    SpawnedListener child = SpawnedListener::start();
    EXPECT_FALSE(belongsToOtherSystemUnit(child.pid()));
    const pid_t pid = child.pid();
    child.kill();
    EXPECT_FALSE(belongsToOtherSystemUnit(pid));
    EXPECT_FALSE(belongsToOtherSystemUnit(0));
}

}  // namespace
}  // namespace vantu::platform
