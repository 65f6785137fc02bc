#include "rules/development_port_filter.h"

#include "filter_records.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <limits>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

using test::project;
using test::withPath;

namespace Filter = DevelopmentPortFilter;

// Another process of this user; canTerminate looks only at the stored fields, so the pid
// need not be alive while an executable path is passed in.
constexpr int32_t kOtherPid = 4312;
const QString kUserPath = u"/home/dev/.local/bin/tool"_s;

uint32_t ownUid() {
    return static_cast<uint32_t>(::getuid());
}

Listener listener(const QString& command, uint16_t port = 5173, int32_t pid = kOtherPid, uint32_t uid = ownUid()) {
    return Listener{.pid = pid,
                    .port = port,
                    .command = command,
                    .identity = ProcessIdentity{pid, uid, 1700000000, 7},
                    .project = {},
                    .workingDirectory = {}};
}

DiscoverySettings settings(bool automatic, const QString& included = {}, const QString& excluded = {}) {
    return std::get<DiscoverySettings>(DiscoverySettings::create(automatic, included, excluded));
}

TEST(DevelopmentPortFilterTest, RuntimeNames) {
    const std::vector<const char*> runtimes = {
        "node", "nodejs", "bun", "deno", "ruby", "php", "java", "dotnet", "go", "npm", "npx", "pnpm", "yarn", "vite",
        "uvicorn", "gunicorn", "flask", "django", "rails", "puma", "http-server", "httpd",
        // Next.js names its server process after itself and its version.
        "next-server", "next-server (v14.2.3)",
        // Versioned interpreters; the version part may be empty or only digits and dots.
        "python", "python3", "python3.12", "python3.12.1", "python.", "ruby3.2", "php8", "php8.2"};
    for (const char* name : runtimes) {
        EXPECT_TRUE(Filter::isDevelopmentRuntime(QString::fromUtf8(name))) << name;
    }
    const std::vector<const char*> others = {"",
                                             "nod",
                                             "nodemon",
                                             "node2",
                                             "go1.21",
                                             "java8",
                                             "httpd2",
                                             "next",
                                             "next-serve",
                                             "pythonw",
                                             "python3w",
                                             "python-3",
                                             "python3.12-config",
                                             "ruby-3.2",
                                             "php-fpm",
                                             "phpx",
                                             "sshd",
                                             "postgres",
                                             "python\xE2\x85\xA2",
                                             "python\xEF\xBC\x93"};
    for (const char* name : others) {
        EXPECT_FALSE(Filter::isDevelopmentRuntime(QString::fromUtf8(name))) << name;
    }
}

TEST(DevelopmentPortFilterTest, OnlyTheUsersOwnOtherProcessesAreEverShown) {
    Listener withoutIdentity = listener(u"node"_s);
    withoutIdentity.identity.reset();
    const std::vector<std::pair<const char*, Listener>> refused = {
        {"no identity", withoutIdentity},
        {"pid 1", listener(u"node"_s, 5173, 1)},
        {"pid 0", listener(u"node"_s, 5173, 0)},
        {"negative pid", listener(u"node"_s, 5173, -5)},
        {"own pid", listener(u"node"_s, 5173, static_cast<int32_t>(::getpid()))},
        {"other user", listener(u"node"_s, 5173, kOtherPid, ownUid() + 1)},
    };
    const DiscoverySettings includingThePort = settings(true, u"5173"_s);
    for (const auto& [what, refusedListener] : refused) {
        EXPECT_FALSE(Filter::includes(withPath(refusedListener, kUserPath), includingThePort)) << what;
        EXPECT_FALSE(Filter::includes(refusedListener)) << what;
        EXPECT_FALSE(Filter::isAutomaticCandidate(withPath(refusedListener, kUserPath))) << what;
    }
    EXPECT_TRUE(Filter::includes(withPath(listener(u"node"_s, 5173, 2), kUserPath), includingThePort));
}

TEST(DevelopmentPortFilterTest, HideRulesBeatIncludeRules) {
    const DiscoverySettings both = settings(true, u"5000-6000"_s, u"5173"_s);
    EXPECT_FALSE(Filter::includes(withPath(listener(u"node"_s, 5173), kUserPath), both));
    EXPECT_TRUE(Filter::includes(withPath(listener(u"node"_s, 5174), kUserPath), both));
    EXPECT_FALSE(Filter::includes(withPath(listener(u"node"_s, 5173), kUserPath), settings(true, {}, u"1-65535"_s)));
}

TEST(DevelopmentPortFilterTest, IncludeRulesShowAnyCommandOfTheUser) {
    const DiscoverySettings including = settings(false, u"631 8000-8010"_s);
    for (const QString& command : {u"sharingd"_s, u"figma_agent"_s, u"cupsd"_s, u"node"_s}) {
        EXPECT_TRUE(Filter::includes(withPath(listener(command, 8005), u"/usr/sbin/cupsd"_s), including))
            << command.toStdString();
    }
    EXPECT_TRUE(Filter::includes(withPath(listener(u"cupsd"_s, 631), u"/usr/sbin/cupsd"_s), including));
}

TEST(DevelopmentPortFilterTest, AutomaticOffShowsOnlyIncludedPorts) {
    const DiscoverySettings manual = settings(false, u"3000"_s);
    EXPECT_TRUE(Filter::includes(withPath(listener(u"node"_s, 3000), kUserPath), manual));
    EXPECT_FALSE(Filter::includes(withPath(listener(u"node"_s, 3001), kUserPath), manual));
    Listener withProject = listener(u"tool"_s, 3001);
    withProject.project = project(true, true);
    EXPECT_FALSE(Filter::includes(withPath(withProject, kUserPath), manual));
}

TEST(DevelopmentPortFilterTest, RuntimesAreNotJudgedByTheFolderListOfOtherCommands) {
    // /usr/sbin denies any other command, but holds no daemons that are taken for runtimes.
    for (const QString& command : {u"node"_s, u"Python3.12"_s, u"PYTHON3.12"_s, u"next-server (v15.0.0)"_s}) {
        EXPECT_TRUE(Filter::isAutomaticCandidate(withPath(listener(command), u"/usr/sbin/x"_s)))
            << command.toStdString();
        EXPECT_TRUE(
            Filter::includes(withPath(listener(command, 40000), u"/usr/sbin/x"_s), DiscoverySettings::defaults()))
            << command.toStdString();
        EXPECT_TRUE(Filter::includes(withPath(listener(command, 40000), QString()), DiscoverySettings::defaults()))
            << command.toStdString();
    }
}

TEST(DevelopmentPortFilterTest, DeniedCommandsAreNeverCandidates) {
    for (const QString& command : {u"figma"_s, u"Figma_agent"_s, u"figmanode"_s, u"ControlCenter"_s, u"controlce"_s,
                                   u"rapportd"_s, u"SHARINGD"_s}) {
        EXPECT_FALSE(Filter::isAutomaticCandidate(withPath(listener(command), kUserPath))) << command.toStdString();
        Listener withProject = listener(command);
        withProject.project = project(true, true);
        EXPECT_FALSE(Filter::includes(withPath(withProject, kUserPath), DiscoverySettings::defaults()))
            << command.toStdString();
    }
    // Exact names only: a longer name is judged like any other command.
    EXPECT_TRUE(Filter::isAutomaticCandidate(withPath(listener(u"sharingd2"_s), kUserPath)));
    EXPECT_TRUE(Filter::isAutomaticCandidate(withPath(listener(u"xfigma"_s), kUserPath)));
}

TEST(DevelopmentPortFilterTest, ExecutablePathsOfTheSystemAreNotCandidates) {
    const Listener tool = listener(u"pythonw"_s);
    const std::vector<std::pair<const char*, bool>> paths = {
        {"/usr/sbin/cupsd", false},
        {"/USR/SBIN/cupsd", false},
        {"/usr/libexec/tool", false},
        {"/System/Library/CoreServices/tool", false},
        {"/Applications/Editor.app/Contents/MacOS/editor", false},
        {"/home/dev/Tools.APP/bin/tool", false},
        {"", false},
        {"/usr/sbinx/tool", true},
        {"/usr/sbin", true},
        {"/usr/bin/pythonw", true},
        {"/home/dev/my.app", true},
        {"/home/dev/.appdata/tool", true},
        {"/systems/tool", true},
        // The Linux system's own programs and daemons.
        {"/usr/lib/postgresql/15/bin/postgres", false},
        {"/usr/lib/x86_64-linux-gnu/libexec/kf5/kiod5", false},
        {"/usr/lib64/firefox/firefox", false},
        {"/usr/share/code/code", false},
        {"/lib/systemd/systemd-resolved", false},
        {"/lib64/ld-linux-x86-64.so.2", false},
        {"/usr/lib/cups/daemon/cups-browsed (deleted)", false},
        // Runtimes the distribution installs there run the user's code, even after an upgrade
        // replaced them on disk; so do the programs of npm's global packages.
        {"/usr/lib/jvm/java-17-openjdk-amd64/bin/java", true},
        {"/usr/lib/jvm/java-17-openjdk-amd64/bin/java (deleted)", true},
        {"/usr/lib/go-1.19/bin/go", true},
        {"/usr/share/dotnet/dotnet", true},
        {"/usr/lib/python3.11/python3.11", true},
        {"/usr/lib/node_modules/esbuild/bin/esbuild", true},
        // What users install and run themselves.
        {"/usr/bin/node", true},
        {"/usr/local/lib/tool/bin/tool", true},
        {"/home/dev/.nvm/versions/node/v20.11.0/bin/node", true},
        {"/home/dev/.local/bin/uvicorn", true},
        {"/snap/node/8294/bin/node", true},
        {"/opt/tool/bin/tool", true},
        {"/app/bin/tool", true},
        // Only those folders themselves, from the root.
        {"/usr/libx/tool", true},
        {"/usr/shared/tool", true},
        {"/usr/lib", true},
        {"/home/dev/usr/lib/tool", true},
    };
    for (const auto& [path, candidate] : paths) {
        EXPECT_EQ(Filter::isAutomaticCandidate(withPath(tool, QString::fromUtf8(path))), candidate) << path;
    }
}

TEST(DevelopmentPortFilterTest, TheSystemsOwnProgramsAreNotShownUnderARuntimesName) {
    const std::vector<std::tuple<const char*, const char*, bool>> cases = {
        {"node", "/usr/share/code/resources/app/helper", false},
        {"python3", "/usr/libexec/ibus-engine", false},
        {"ruby", "/usr/lib/cups/backend/helper", false},
        {"java", "/usr/lib/jvm/java-17-openjdk-amd64/bin/java", true},
        {"go", "/usr/lib/go-1.19/bin/go", true},
        {"python3.11", "/usr/bin/python3.11", true},
        {"node", "/home/dev/.nvm/versions/node/v20.11.0/bin/node", true},
    };
    for (const auto& [command, path, shown] : cases) {
        const Listener server = listener(QString::fromUtf8(command));
        EXPECT_EQ(Filter::isAutomaticCandidate(withPath(server, QString::fromUtf8(path))), shown)
            << command << " " << path;
        EXPECT_EQ(Filter::includes(withPath(server, QString::fromUtf8(path)), DiscoverySettings::defaults()), shown)
            << command << " " << path;
    }
    // An include rule still shows whatever of the user's listens on the port.
    EXPECT_TRUE(
        Filter::includes(withPath(listener(u"node"_s, 8080), u"/usr/libexec/helper"_s), settings(true, u"8080"_s)));
}

TEST(DevelopmentPortFilterTest, OtherCandidatesNeedAProject) {
    const DiscoverySettings defaults = DiscoverySettings::defaults();
    Listener tool = listener(u"pythonw"_s, 8000);
    EXPECT_FALSE(Filter::includes(withPath(tool, kUserPath), defaults));
    tool.project = project(false, false);
    EXPECT_FALSE(Filter::includes(withPath(tool, kUserPath), defaults));
    tool.project = project(false, true);
    EXPECT_TRUE(Filter::includes(withPath(tool, kUserPath), defaults));
    tool.project = project(true, false);
    EXPECT_TRUE(Filter::includes(withPath(tool, kUserPath), defaults));
    // A project does not make a system executable a candidate.
    EXPECT_FALSE(Filter::includes(withPath(tool, u"/usr/libexec/pythonw"_s), defaults));
}

TEST(DevelopmentPortFilterTest, TheRecordAloneDecides) {
    // Pids that name no process: nothing is looked up, the facts read with the snapshot decide.
    const int32_t nobody = std::numeric_limits<int32_t>::max();
    const auto record = [&](const char* command, std::optional<QString> path, bool systemProgram, bool evidence) {
        Listener server = listener(QString::fromUtf8(command), 8000, nobody);
        server.executablePath = std::move(path);
        server.systemProgram = systemProgram;
        server.project = project(evidence, false);
        return server;
    };
    const std::vector<std::tuple<const char*, Listener, bool>> cases = {
        {"a runtime needs no path", record("node", std::nullopt, false, false), true},
        {"a runtime of the system's own", record("node", u"/usr/bin/node"_s, true, false), false},
        {"a tool in a project", record("tool", kUserPath, false, true), true},
        {"a tool without a project", record("tool", kUserPath, false, false), false},
        {"a tool whose executable was not read", record("tool", std::nullopt, false, true), false},
        {"a tool in a system folder", record("tool", u"/usr/sbin/tool"_s, false, true), false},
        {"a tool of a system unit", record("tool", kUserPath, true, true), false},
    };
    for (const auto& [what, server, shown] : cases) {
        EXPECT_EQ(Filter::includes(server), shown) << what;
    }
}

}  // namespace
}  // namespace vantu
