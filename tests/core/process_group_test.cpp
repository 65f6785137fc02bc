#include "core/process_group.h"
#include "core/engine_helpers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

TEST(ProcessGroupTest, TheUserUnitIsReadFromTheControlGroup) {
    struct Case {
        const char* what;
        QByteArray cgroup;
        std::optional<QString> unit;
    };
    const Case cases[] = {
        {"a user unit", "0::/user.slice/user-1000.slice/user@1000.service/app.slice/api.service\n", u"api.service"_s},
        {"a nested user unit", "0::/user.slice/user-1000.slice/user@1000.service/app.slice/dev.slice/web.service\n",
         u"web.service"_s},
        {"a terminal in the user manager",
         "0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-gnome-terminal-4711.scope\n", std::nullopt},
        {"a login session", "0::/user.slice/user-1000.slice/session-3.scope\n", std::nullopt},
        {"a system unit", "0::/system.slice/nginx.service\n", std::nullopt},
        {"cgroup v1 with systemd's hierarchy",
         "12:pids:/user.slice\n1:name=systemd:/user.slice/user-1000.slice/user@1000.service/api.service\n",
         u"api.service"_s},
        {"nothing", "", std::nullopt},
        // The user is 1000: only a unit of that user's own manager counts.
        {"another user's unit", "0::/user@1001.service/app.slice/api.service\n", std::nullopt},
        {"the own manager outside the user slice", "0::/user@1000.service/app.slice/api.service\n", u"api.service"_s},
        {"a lookalike of the manager", "0::/system.slice/user@1000.service.fake/api.service\n", std::nullopt},
        {"the manager's name as a prefix", "0::/user.slice/user-10001.slice/user@10001.service/api.service\n",
         std::nullopt},
        {"a group named like the manager inside another's",
         "0::/user.slice/user-1001.slice/user@1001.service/app.slice/user@1000.service/api.service\n", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProcessGroups::userUnit(c.cgroup, 1000), c.unit) << c.what;
    }
}

TEST(ProcessGroupTest, AShellThatAPersonTypesIntoIsToldFromOneThatRunsSomething) {
    struct Case {
        QStringList arguments;
        bool fromTerminal;
        bool interactive;
    };
    const Case cases[] = {
        {{u"bash"_s}, true, true},
        {{u"/bin/bash"_s, u"--norc"_s}, true, true},
        {{u"-bash"_s}, false, true},
        {{u"bash"_s, u"--norc"_s, u"-i"_s}, false, true},
        {{u"zsh"_s, u"-il"_s}, false, true},
        {{u"bash"_s, u"--rcfile"_s, u"x.sh"_s}, true, true},
        {{u"bash"_s}, false, false},
        {{u"sh"_s, u"-c"_s, u"while true; do npm run dev; done"_s}, true, false},
        {{u"/bin/sh"_s, u"-ec"_s, u"node server.js"_s}, true, false},
        {{u"bash"_s, u"loop.sh"_s}, true, false},
        {{u"bash"_s, u"-o"_s, u"pipefail"_s, u"loop.sh"_s}, true, false},
        {{u"bash"_s, u"-i"_s, u"-c"_s, u"node server.js"_s}, true, true},
        {{u"node"_s, u"-i"_s}, true, false},
        {{u"npm"_s, u"run"_s, u"dev"_s}, true, false},
        {{}, true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProcessGroups::isInteractiveShell(c.arguments, c.fromTerminal), c.interactive)
            << c.arguments.join(u' ').toStdString() << (c.fromTerminal ? " on a terminal" : "");
    }
}

TEST(ProcessGroupTest, AContainerEnginesPortHelperIsKnownByItsFileOrItsCommandName) {
    struct Case {
        const char* command;
        std::optional<QString> executable;
        std::optional<QString> helper;
    };
    const Case cases[] = {
        {"rootlessport", u"/usr/libexec/podman/rootlessport"_s, u"rootlessport"_s},
        // The kernel cuts command names to 15 bytes.
        {"rootlessport-ch", u"/usr/libexec/podman/rootlessport"_s, u"rootlessport"_s},
        {"rootlessport-ch", std::nullopt, u"rootlessport-child"_s},
        {"docker-proxy", std::nullopt, u"docker-proxy"_s},
        {"exe", u"/usr/bin/slirp4netns"_s, u"slirp4netns"_s},
        {"rootless", std::nullopt, std::nullopt},
        {"node", u"/usr/bin/node"_s, std::nullopt},
        {"dockerd-rootles", u"/usr/bin/dockerd-rootless.sh"_s, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EngineHelpers::helperName(QString::fromLatin1(c.command), c.executable), c.helper) << c.command;
    }
}

TEST(ProcessGroupTest, CommandLinesAreCutToWhatAPersonNeeds) {
    EXPECT_EQ(ProcessGroups::shortCommand(u"npm run dev"_s), u"npm run dev"_s);
    EXPECT_EQ(ProcessGroups::shortCommand(u"/usr/bin/node   server.js --port 3000"_s), u"node server.js --port 3000"_s);
    // A tool run through its interpreter is named as a person types it; a script of one's own
    // keeps its interpreter.
    EXPECT_EQ(ProcessGroups::shortCommand(u"node /home/a/app/node_modules/.bin/nodemon --quiet server.js"_s),
              u"nodemon --quiet server.js"_s);
    EXPECT_EQ(ProcessGroups::shortCommand(u"/usr/bin/python3 /home/a/.local/bin/flask run"_s), u"flask run"_s);
    EXPECT_EQ(ProcessGroups::shortCommand(u"node /srv/app.js"_s), u"node /srv/app.js"_s);
    const QString longLine = u"node "_s + QString(100, u'x');
    EXPECT_EQ(ProcessGroups::shortCommand(longLine).size(), 60);
    EXPECT_TRUE(ProcessGroups::shortCommand(longLine).endsWith(QChar(0x2026)));
    EXPECT_EQ(ProcessGroups::shortCommand(QString()), QString());
}

}  // namespace
}  // namespace vantu
