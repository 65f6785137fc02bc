// Runs the real vantu-cli binary against real listeners on loopback.
#include "cli/cli_commands.h"
#include "fake_tools.h"
#include "pid_namespace.h"
#include "platform/process.h"
#include "spawned_listener.h"
#include "web_server.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

using test::SpawnedListener;

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// `wrapper` runs first when given, e.g. to run the command as another user.
CliRun runCli(const QStringList& arguments, const QStringList& wrapper = {},
              const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
    QProcess process;
    process.setProcessEnvironment(environment);
    if (wrapper.isEmpty()) {
        process.start(QStringLiteral(VANTU_CLI_PATH), arguments);
    } else {
        process.start(wrapper.front(), wrapper.mid(1) + QStringList{QStringLiteral(VANTU_CLI_PATH)} + arguments);
    }
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
    }
    return CliRun{process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                  QString::fromUtf8(process.readAllStandardError())};
}

// A folder holding a package.json with this name; the canonical path, as /proc reports it.
QString makeProject(const QTemporaryDir& root, const QString& name) {
    const QString folder = QFileInfo(root.path()).canonicalFilePath() + u'/' + name;
    QDir().mkpath(folder);
    QFile manifest(folder + u"/package.json"_s);
    manifest.open(QIODevice::WriteOnly);
    manifest.write(QJsonDocument(QJsonObject{{u"name"_s, name}}).toJson());
    return folder;
}

// A port that is free now and that the kernel never hands out on its own: tests running beside
// this one bind to port 0, and could otherwise be given a port chosen here before it is used.
uint16_t freePort() {
    static uint16_t next = static_cast<uint16_t>(20000 + (::getpid() % 600) * 20);
    for (int tries = 0; tries < 12000; ++tries) {
        const uint16_t port = next;
        next = next + 1 >= 32000 ? 20000 : static_cast<uint16_t>(next + 1);
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (free) {
            return port;
        }
    }
    return 0;
}

class VantuCliTest : public ::testing::Test {
protected:
    QTemporaryDir root_;
};

TEST_F(VantuCliTest, ListShowsADevServerWithItsProject) {
    const QString folder = makeProject(root_, u"cli-site"_s);
    SpawnedListener node = SpawnedListener::start({.workingDirectory = folder, .commandName = u"node"_s});
    const CliRun run = runCli({u"list"_s});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString line = run.out.split(u'\n').filter(QString::number(node.port()) + u"  "_s).value(0);
    EXPECT_TRUE(line.contains(u"cli-site"_s)) << run.out.toStdString();
    EXPECT_TRUE(line.contains(QString::number(node.pid())));
    EXPECT_TRUE(line.contains(folder));

    // On a terminal the table fits its width; piped, as above, every line is whole.
    QProcess terminal;
    QProcessEnvironment narrow = QProcessEnvironment::systemEnvironment();
    narrow.insert(u"COLUMNS"_s, u"50"_s);
    terminal.setProcessEnvironment(narrow);
    terminal.start(u"/usr/bin/script"_s, {u"-qefc"_s, QStringLiteral(VANTU_CLI_PATH) + u" list"_s, u"/dev/null"_s});
    ASSERT_TRUE(terminal.waitForFinished(30000));
    const QString shown = QString::fromUtf8(terminal.readAllStandardOutput());
    EXPECT_TRUE(shown.contains(QString::number(node.port()))) << shown.toStdString();
    for (const QString& row : shown.split(u"\r\n"_s, Qt::SkipEmptyParts)) {
        EXPECT_LE(row.size(), 50) << row.toStdString();
    }

    // Settings it cannot read: the defaults serve, and one line says so.
    QDir(root_.path()).mkpath(u"config/vantu"_s);
    QFile damaged(root_.filePath(u"config/vantu/vantu.json"_s));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("{\"discovery.automatic\": tru");
    damaged.close();
    const CliRun withDamage =
        runCli({u"list"_s}, {u"/usr/bin/env"_s, u"XDG_CONFIG_HOME="_s + root_.filePath(u"config"_s)});
    EXPECT_EQ(withDamage.exitCode, 0);
    EXPECT_TRUE(withDamage.out.contains(QString::number(node.port()) + u"  "_s));
    EXPECT_EQ(withDamage.err,
              u"vantu-cli: Couldn’t read the settings (line 1); using the defaults. The file will be kept "
              "as vantu.json.damaged.\n"_s);
}

// The listeners of a `list --json` report, each by its port.
QHash<int, QJsonObject> listenersByPort(const QString& json) {
    QHash<int, QJsonObject> byPort;
    for (const QJsonValue& value : QJsonDocument::fromJson(json.toUtf8())[u"listeners"_s].toArray()) {
        byPort.insert(value[u"port"_s].toInt(), value.toObject());
    }
    return byPort;
}

TEST_F(VantuCliTest, JsonHoldsTheSameFactsInStableWords) {
    const QString plainFolder = QFileInfo(root_.path()).canonicalFilePath(), checkout = plainFolder + u"/checkout"_s;
    const QString folder = makeProject(root_, u"json-site"_s);
    QDir().mkpath(checkout + u"/.git"_s);
    // A dev server on each kind of address, each named another way, and one that is no dev server.
    SpawnedListener four = SpawnedListener::start({.workingDirectory = folder, .commandName = u"node"_s});
    SpawnedListener six =
        SpawnedListener::start({.host = u"::1"_s, .workingDirectory = checkout, .commandName = u"node"_s});
    SpawnedListener dual =
        SpawnedListener::start({.host = u"both"_s, .workingDirectory = plainFolder, .commandName = u"node"_s});
    SpawnedListener plain = SpawnedListener::start({.workingDirectory = plainFolder});
    const CliRun run = runCli({u"list"_s, u"--json"_s, u"--all"_s});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    EXPECT_EQ(document[u"version"_s].toInt(), 1);
    const QHash<int, QJsonObject> byPort = listenersByPort(run.out);
    const QJsonObject found = byPort.value(four.port());
    ASSERT_FALSE(found.isEmpty()) << run.out.toStdString();
    EXPECT_EQ(found[u"pid"_s].toInt(), four.pid());
    EXPECT_EQ(found[u"command"_s].toString(), u"node"_s);
    EXPECT_EQ(found[u"displayName"_s].toString(), u"json-site"_s);
    EXPECT_EQ(found[u"workingDirectory"_s].toString(), folder);
    EXPECT_EQ(found[u"project"_s][u"directory"_s].toString(), folder);
    EXPECT_TRUE(found[u"canTerminate"_s].toBool());
    EXPECT_EQ(found[u"identity"_s][u"pid"_s].toInt(), four.pid());
    // Address and family, every address with its family, where the name came from, dev server or not.
    const QList<std::pair<const SpawnedListener*, QString>> table{
        {&four, u"127.0.0.1 ipv4 127.0.0.1 ipv4 packageJson true"_s},
        {&six, u"::1 ipv6 ::1 ipv6 gitFolder true"_s},
        {&dual, u"127.0.0.1 ipv4 127.0.0.1 ipv4 ::1 ipv6 folder true"_s},
        {&plain, u"127.0.0.1 ipv4 127.0.0.1 ipv4 folder false"_s},
    };
    // Under a German locale every value is the same, but for what changes by the moment.
    QProcessEnvironment german = QProcessEnvironment::systemEnvironment();
    german.insert(u"LC_ALL"_s, u"de_DE.UTF-8"_s);
    ASSERT_TRUE(runCli({u"--help"_s}, {}, german).out.startsWith(u"Aufruf:"_s));
    const auto inGerman = listenersByPort(runCli({u"list"_s, u"--json"_s, u"--all"_s}, {}, german).out);
    for (const auto& [server, facts] : table) {
        QJsonObject entry = byPort.value(server->port()), translated = inGerman.value(server->port());
        QStringList words{entry[u"address"_s].toString(), entry[u"family"_s].toString()};
        for (const QJsonValue& address : entry[u"addresses"_s].toArray()) {
            words << address[u"address"_s].toString() << address[u"family"_s].toString();
        }
        words << entry[u"project"_s][u"nameSource"_s].toString() << entry[u"isDevServer"_s].toVariant().toString();
        EXPECT_EQ(words.join(u' '), facts) << run.out.toStdString();
        for (const QString& changing : {u"uptimeSeconds"_s, u"residentBytes"_s, u"session"_s}) {
            entry.remove(changing);
            translated.remove(changing);
        }
        EXPECT_EQ(translated, entry);
    }
}

TEST_F(VantuCliTest, AllShowsWhatTheDefaultHides) {
    // Not a runtime by name, and no project marker around it: not a dev server.
    const QString plain = QFileInfo(root_.path()).canonicalFilePath();
    SpawnedListener other = SpawnedListener::start({.workingDirectory = plain});
    const QString port = QString::number(other.port());
    const CliRun shown = runCli({u"list"_s});
    ASSERT_EQ(shown.exitCode, 0);
    EXPECT_FALSE(shown.out.contains(u' ' + port + u"  "_s)) << shown.out.toStdString();
    const CliRun all = runCli({u"list"_s, u"--all"_s});
    ASSERT_EQ(all.exitCode, 0);
    // Columns are padded to the widest cell, which another listener on the machine may set.
    EXPECT_TRUE(
        all.out.contains(QRegularExpression(u"(^|\\n) *"_s + port + u" +"_s + QString::number(other.pid()) + u" "_s)))
        << all.out.toStdString();
}

TEST_F(VantuCliTest, StopFreesThePortOfACooperativeServer) {
    SpawnedListener node = SpawnedListener::start({.commandName = u"node"_s});
    const CliRun run = runCli({u"stop"_s, QString::number(node.port())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"is free."_s)) << run.out.toStdString();
    EXPECT_TRUE(node.waitForExit(std::chrono::seconds(10)));

    // A range stops what listens in it, and says when nothing does.
    // Two free neighbours: nothing else may listen in the range.
    uint16_t first = freePort();
    for (uint16_t second = freePort(); second != first + 1; second = freePort()) {
        first = second;
    }
    SpawnedListener low = SpawnedListener::start({.ports = {first}, .commandName = u"node"_s});
    SpawnedListener high =
        SpawnedListener::start({.ports = {static_cast<uint16_t>(first + 1)}, .commandName = u"node"_s});
    const QString range = u"%1-%2"_s.arg(first).arg(first + 1);
    const CliRun ranged = runCli({u"stop"_s, range});
    EXPECT_EQ(ranged.exitCode, 0) << ranged.err.toStdString();
    EXPECT_TRUE(low.waitForExit(std::chrono::seconds(10)) && high.waitForExit(std::chrono::seconds(10)));
    const CliRun empty = runCli({u"stop"_s, range});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_EQ(empty.err.trimmed(), u"vantu-cli: Nothing is listening on ports %1–%2."_s.arg(first).arg(first + 1));
}

TEST_F(VantuCliTest, ForceFreesAServerThatIgnoresTerm) {
    SpawnedListener stubborn = SpawnedListener::start({.ignoreTerm = true, .commandName = u"node"_s});
    const QString port = QString::number(stubborn.port());
    const CliRun polite = runCli({u"stop"_s, port});
    EXPECT_EQ(polite.exitCode, 2);
    EXPECT_TRUE(polite.err.contains(u"still in use"_s)) << polite.err.toStdString();
    EXPECT_FALSE(stubborn.hasExited());

    const CliRun forced = runCli({u"stop"_s, u"--force"_s, port});
    EXPECT_EQ(forced.exitCode, 0) << forced.err.toStdString();
    EXPECT_TRUE(stubborn.waitForExit(std::chrono::seconds(10)));
}

TEST_F(VantuCliTest, NothingOnThePort) {
    const uint16_t port = freePort();
    const CliRun run = runCli({u"stop"_s, QString::number(port)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.trimmed(), u"vantu-cli: Nothing is listening on port "_s + QString::number(port) + u'.');
}

TEST_F(VantuCliTest, AnotherUsersServerIsRefusedAndSurvives) {
    if (!test::runningAsRoot()) {
        GTEST_SKIP() << "starting a process as another user needs root";
    }
    SpawnedListener foreign = SpawnedListener::start({.commandName = u"node"_s, .user = u"nobody"_s});
    for (const QStringList& extra : {QStringList{}, QStringList{u"--force"_s}}) {
        const CliRun run = runCli(QStringList{u"stop"_s, QString::number(foreign.port())} + extra);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains(u"Only your own processes can be stopped."_s)) << run.err.toStdString();
    }
    EXPECT_FALSE(foreign.hasExited());

    // A user who cannot look at nobody's processes still learns whose port it is.
    const QStringList asDaemon{u"/usr/bin/setpriv"_s, u"--reuid=daemon"_s, u"--regid=daemon"_s, u"--clear-groups"_s};
    const CliRun refused = runCli({u"stop"_s, QString::number(foreign.port())}, asDaemon);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.err.trimmed(),
              u"vantu-cli: Port "_s + QString::number(foreign.port()) + u": Only your own processes can be stopped."_s);
    const CliRun listed = runCli({u"list"_s, u"--all"_s, u"--json"_s}, asDaemon);
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QJsonObject entry = listenersByPort(listed.out).value(foreign.port());
    ASSERT_FALSE(entry.isEmpty()) << listed.out.toStdString();
    EXPECT_TRUE(entry[u"pid"_s].isNull());
    EXPECT_EQ(entry[u"userID"_s].toInt(), 65534);
    EXPECT_FALSE(foreign.hasExited());
}

TEST_F(VantuCliTest, OneProcessOnTwoPortsIsStoppedOnceAndBothPortsAreFree) {
    SpawnedListener node = SpawnedListener::start({.ports = {0, 0}, .commandName = u"node"_s});
    const CliRun run = runCli({u"stop"_s, QString::number(node.ports().at(0)), QString::number(node.ports().at(1))});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    for (const uint16_t port : node.ports()) {
        EXPECT_TRUE(run.out.contains(u"Port "_s + QString::number(port) + u" is free."_s)) << run.out.toStdString();
    }
    EXPECT_TRUE(node.waitForExit(std::chrono::seconds(10)));
}

// The pid named after "(PID " in a message, for cleaning up what the test left running.
pid_t pidIn(const QString& message, qsizetype from = 0) {
    const qsizetype at = message.indexOf(u"(PID "_s, from);
    return at < 0 ? -1 : message.mid(at + 5).section(u')', 0, 0).toInt();
}

// A supervisor that starts a server named node on `port` again whenever it ends, in a process
// group of its own, as a terminal job runs; ended with every server it started when the test
// ends, whatever happened.
class SupervisorLoop {
public:
    SupervisorLoop(const QTemporaryDir& root, uint16_t port) {
        const QString folder = QFileInfo(root.path()).canonicalFilePath();
        QFile::link(test::testListenerProgram(), folder + u"/node"_s);
        process_.start(u"/usr/bin/setsid"_s, {u"/bin/sh"_s, u"-c"_s, u"while true; do \"$0\" \"$1\" >/dev/null; done"_s,
                                              folder + u"/node"_s, QString::number(port)});
    }
    ~SupervisorLoop() {
        if (process_.processId() > 0) {
            ::kill(-static_cast<pid_t>(process_.processId()), SIGKILL);
        }
        process_.waitForFinished();
    }
    SupervisorLoop(const SupervisorLoop&) = delete;
    SupervisorLoop& operator=(const SupervisorLoop&) = delete;

    QProcess& process() { return process_; }

private:
    QProcess process_;
};

TEST_F(VantuCliTest, AServerThatComesBackIsReportedWithWhoBroughtItBack) {
    const uint16_t port = freePort();
    SupervisorLoop supervisor(root_, port);
    QProcess& loop = supervisor.process();
    ASSERT_TRUE(loop.waitForStarted());
    const auto listening = [&] { return runCli({u"list"_s}).out.contains(QString::number(port) + u"  "_s); };
    for (int i = 0; i < 200 && !listening(); ++i) {
        QThread::msleep(20);
    }
    SpawnedListener handsOff = SpawnedListener::start({.commandName = u"node"_s, .handOffOnTerm = true});

    const CliRun run = runCli({u"stop"_s, QString::number(port), QString::number(handsOff.port())});

    EXPECT_EQ(run.exitCode, 2) << run.out.toStdString() << run.err.toStdString();
    const QString again = u"vantu-cli: Port "_s + QString::number(port) + u" was taken again by node (PID "_s;
    EXPECT_TRUE(run.err.contains(again)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(u"), started by sh -c while true; do "_s)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(u"(PID "_s + QString::number(loop.processId()) + u"). Stop its group instead."_s))
        << run.err.toStdString();
    const QString handedOff =
        u"vantu-cli: Port "_s + QString::number(handsOff.port()) + u" was taken again by node (PID "_s;
    EXPECT_TRUE(run.err.contains(handedOff)) << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(u"is free"_s)) << run.out.toStdString();

    for (const QString& line : run.err.split(u'\n')) {
        if (const pid_t pid = pidIn(line); pid > 0) {
            ::kill(pid, SIGKILL);
        }
    }
}

// Stops for real, but only after `before` ran: the world may change between the listing and
// the stop.
class LateStops : public PortService {
public:
    std::function<void()> before;
    [[nodiscard]] QFuture<StopSendResult> send(const StopTarget& target, bool force) const override {
        before();
        return PortService::send(target, force);
    }
};

TEST_F(VantuCliTest, AServerThatEndsBeforeItsStopLeavesItsPortFree) {
    SpawnedListener node = SpawnedListener::start({.commandName = u"node"_s});
    LateStops service;
    service.before = [&] { node.kill(); };
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    cli::CliContext context{.service = service,
                            .settings = DiscoverySettings::defaults(),
                            .overrides = {},
                            .out = outStream,
                            .err = errStream};
    const cli::CliArguments arguments{.command = cli::CliArguments::Command::stop, .ports = {node.port()}};

    EXPECT_EQ(cli::runStop(arguments, context), cli::kDone) << err.toStdString();
    outStream.flush();
    errStream.flush();
    EXPECT_EQ(out.trimmed(), u"Port "_s + QString::number(node.port()) + u" is free."_s);
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
}

// A supervisor loop in a process group of its own, as a terminal job runs: stopping the session
// ends the loop and its server, as Ctrl+C would, where stopping the server alone would not.
TEST_F(VantuCliTest, StoppingTheGroupEndsTheServerAndWhatRestartsIt) {
    const uint16_t port = freePort();
    SupervisorLoop supervisor(root_, port);
    QProcess& loop = supervisor.process();
    ASSERT_TRUE(loop.waitForStarted());
    const auto listed = [&] { return runCli({u"list"_s, u"--json"_s}); };
    QJsonObject entry;
    for (int i = 0; i < 200 && entry.isEmpty(); ++i) {
        entry = listenersByPort(listed().out).value(port);
        QThread::msleep(20);
    }
    ASSERT_FALSE(entry.isEmpty());
    const QJsonObject session = entry[u"session"_s].toObject();
    EXPECT_EQ(session[u"leaderPid"_s].toInt(), loop.processId());
    // All of it, however long: the temporary folder makes it longer than a short form keeps.
    EXPECT_EQ(session[u"command"_s].toString(), u"/bin/sh -c while true; do \"$0\" \"$1\" >/dev/null; done %1/node %2"_s
                                                    .arg(QFileInfo(root_.path()).canonicalFilePath())
                                                    .arg(port));
    EXPECT_EQ(session[u"members"_s].toInt(), 2);
    EXPECT_TRUE(session[u"unit"_s].isNull());

    const CliRun run = runCli({u"stop"_s, u"--session"_s, QString::number(port)});

    EXPECT_EQ(run.exitCode, 0) << run.out.toStdString() << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"Port "_s + QString::number(port) + u" is free."_s)) << run.out.toStdString();
    EXPECT_TRUE(run.out.contains(u"(PID "_s + QString::number(loop.processId()) + u", 2 processes)"_s))
        << run.out.toStdString();
    EXPECT_TRUE(loop.waitForFinished(10000)) << "the loop was stopped with its server";
}

// Real dev tooling, each started as a terminal job is (a process group of its own, led by the
// tool): stopping the session of the port it serves leaves no process of the group behind.
TEST_F(VantuCliTest, StoppingTheGroupOfRealDevToolsLeavesNothingOfTheGroup) {
    const QString tools = QStringLiteral(VANTU_NODE_TOOLS);
    const QString npm = QStandardPaths::findExecutable(u"npm"_s);
    if (npm.isEmpty() || !QFileInfo::exists(tools + u"/nodemon"_s) || !QFileInfo::exists(tools + u"/concurrently"_s)) {
        GTEST_SKIP() << "npm, nodemon or concurrently is missing: scripts/dev.sh deps installs them";
    }
    const QString folder = makeProject(root_, u"tooling"_s);
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile file(folder + u'/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    };
    // "mixed" backgrounds a server, as `a & b` scripts do: the shell makes it ignore SIGINT, so
    // Ctrl+C would leave it running.
    write(u"package.json"_s, R"({"name": "tooling", "scripts": {"dev": "node server.js",
        "mixed": "python3 -m http.server $SECOND_PORT --bind 127.0.0.1 & node server.js"}})");
    write(u"server.js"_s,
          "require('http').createServer((q, r) => r.end('ok'))"
          ".listen(Number(process.argv[2] || process.env.PORT), '127.0.0.1');\n");
    struct Case {
        const char* what;
        QStringList command;
        // Members at least: the tool, and what it started. Groups of more than three serve the
        // second port too.
        int members;
    };
    const uint16_t port = freePort();
    const uint16_t secondPort = freePort();
    const Case cases[] = {
        {"npm run dev: npm, sh, node", {npm, u"run"_s, u"dev"_s}, 3},
        {"npm run mixed: npm, sh, python3 in the background, node", {npm, u"run"_s, u"mixed"_s}, 4},
        {"nodemon: nodemon, node", {tools + u"/nodemon"_s, u"--quiet"_s, u"server.js"_s}, 2},
        {"concurrently: two servers under one parent",
         {tools + u"/concurrently"_s, u"--raw"_s, u"node server.js"_s, u"node server.js $SECOND_PORT"_s},
         4},
    };
    for (const Case& c : cases) {
        QProcess tool;
        tool.setWorkingDirectory(folder);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"PORT"_s, QString::number(port));
        environment.insert(u"SECOND_PORT"_s, QString::number(secondPort));
        environment.insert(u"NO_UPDATE_NOTIFIER"_s, u"1"_s);
        environment.insert(u"npm_config_update_notifier"_s, u"false"_s);
        tool.setProcessEnvironment(environment);
        tool.setStandardOutputFile(QProcess::nullDevice());
        tool.start(u"/usr/bin/setsid"_s, c.command);
        ASSERT_TRUE(tool.waitForStarted()) << c.what;
        const auto group = static_cast<int32_t>(tool.processId());
        QJsonObject session;
        bool secondListed = c.members <= 3;
        for (int i = 0; i < 500 && (session.isEmpty() || !secondListed); ++i) {
            const auto listed = listenersByPort(runCli({u"list"_s, u"--all"_s, u"--json"_s}).out);
            if (listed.value(port)[u"session"_s][u"members"_s].toInt() >= c.members) {
                session = listed.value(port)[u"session"_s].toObject();
            }
            secondListed = secondListed || listed.contains(secondPort);
            QThread::msleep(20);
        }
        ASSERT_FALSE(session.isEmpty()) << c.what << ": never listed";
        EXPECT_EQ(session[u"leaderPid"_s].toInt(), group) << c.what;

        const CliRun run = runCli({u"stop"_s, u"--session"_s, QString::number(port)});

        EXPECT_EQ(run.exitCode, 0) << c.what << "\n" << run.out.toStdString() << run.err.toStdString();
        EXPECT_TRUE(run.out.contains(u"Port "_s + QString::number(port) + u" is free."_s)) << run.out.toStdString();
        EXPECT_TRUE(tool.waitForFinished(5000)) << c.what;
        // Running, that is: a tool may start a helper of its own on the way out (nodemon runs ps
        // to find its children), which then waits, a zombie, for the system to reap it.
        const auto running = [group] {
            std::vector<int32_t> members = platform::processGroupMembers({group})[group];
            std::erase_if(members, [](int32_t pid) {
                QFile stat(u"/proc/%1/stat"_s.arg(pid));
                const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
                return text.isEmpty() || text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
            });
            return members;
        };
        std::vector<int32_t> left = running();
        for (int i = 0; i < 100 && !left.empty(); ++i) {
            QThread::msleep(20);
            left = running();
        }
        EXPECT_TRUE(left.empty()) << c.what << ": " << left.size() << " processes of the group still run";
        EXPECT_FALSE(runCli({u"list"_s, u"--all"_s}).out.contains(QString::number(secondPort) + u"  "_s)) << c.what;
        if (c.members > 3) {
            EXPECT_TRUE(run.out.contains(u"Port "_s + QString::number(secondPort) + u" is free."_s))
                << c.what << ": the group's other port is accounted for too\n"
                << run.out.toStdString();
        }
        for (const int32_t pid : left) {
            ::kill(pid, SIGKILL);
        }
    }
}

// npm in a shell loop, the loop further up than npm's own parent: a stop of the server alone is
// undone within npm's start-up and says so, naming the loop; a stop of its group ends the loop.
TEST_F(VantuCliTest, ALoopFurtherUpThatRestartsTheServerIsNamedAndItsGroupStopEndsIt) {
    const QString npm = QStandardPaths::findExecutable(u"npm"_s);
    if (npm.isEmpty()) {
        GTEST_SKIP() << "npm is missing: scripts/dev.sh deps installs it";
    }
    const QString folder = makeProject(root_, u"looped"_s);
    QFile manifest(folder + u"/package.json"_s);
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write(R"({"name": "looped", "scripts": {"dev": "node server.js"}})");
    manifest.close();
    QFile server(folder + u"/server.js"_s);
    ASSERT_TRUE(server.open(QIODevice::WriteOnly));
    server.write(
        "require('http').createServer((q, r) => r.end('ok')).listen(Number(process.env.PORT), '127.0.0.1');\n");
    server.close();
    const uint16_t port = freePort();
    QProcess loop;
    loop.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PORT"_s, QString::number(port));
    environment.insert(u"NO_UPDATE_NOTIFIER"_s, u"1"_s);
    loop.setProcessEnvironment(environment);
    loop.setStandardOutputFile(QProcess::nullDevice());
    loop.start(u"/usr/bin/setsid"_s, {u"/bin/bash"_s, u"-c"_s, u"while true; do \"$0\" run dev; done"_s, npm});
    ASSERT_TRUE(loop.waitForStarted());
    const auto group = static_cast<pid_t>(loop.processId());
    const auto cleanup = qScopeGuard([&loop, group] {
        ::kill(-group, SIGKILL);
        loop.waitForFinished();
    });
    const auto listening = [&] { return runCli({u"list"_s}).out.contains(QString::number(port) + u"  "_s); };
    for (int i = 0; i < 500 && !listening(); ++i) {
        QThread::msleep(20);
    }
    ASSERT_TRUE(listening());

    const CliRun alone = runCli({u"stop"_s, QString::number(port)});

    EXPECT_EQ(alone.exitCode, 2) << alone.out.toStdString() << alone.err.toStdString();
    EXPECT_TRUE(alone.err.contains(u"Port "_s + QString::number(port) + u" was taken again by node (PID "_s))
        << alone.err.toStdString();
    EXPECT_TRUE(alone.err.contains(u"started by bash -c while true; do \"$0\" run dev; done"_s))
        << alone.err.toStdString();
    EXPECT_TRUE(alone.err.contains(u"(PID "_s + QString::number(group) + u"). Stop its group instead."_s))
        << alone.err.toStdString();

    const CliRun whole = runCli({u"stop"_s, u"--session"_s, QString::number(port)});

    EXPECT_EQ(whole.exitCode, 0) << whole.out.toStdString() << whole.err.toStdString();
    EXPECT_TRUE(whole.out.contains(u"Port "_s + QString::number(port) + u" is free."_s)) << whole.out.toStdString();
    EXPECT_TRUE(loop.waitForFinished(10000)) << "the loop ended with its server";
    EXPECT_FALSE(listening());
}

// Facts that once read as someone else's or as a verdict nobody earned: a process whose first
// thread has ended is still the user's own to stop; a group whose leader lies outside this pid
// namespace cannot be read, so nothing is signalled and that is what is said.
TEST_F(VantuCliTest, WhatCannotBeReadPlainlyIsStillToldTruly) {
    if (test::insidePidNamespace()) {
        SpawnedListener node = SpawnedListener::start({.commandName = u"node"_s});
        const CliRun run = runCli({u"stop"_s, u"--session"_s, QString::number(node.port())});
        EXPECT_EQ(run.exitCode, 2) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(u"began outside the process namespace Vantu runs in"_s)) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(u"taken again"_s)) << run.err.toStdString();
        EXPECT_FALSE(node.hasExited()) << "nothing was signalled";
        return;
    }
    SpawnedListener threaded = SpawnedListener::start({.commandName = u"node"_s, .mainThreadExits = true});
    const CliRun run = runCli({u"stop"_s, QString::number(threaded.port())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"Port "_s + QString::number(threaded.port()) + u" is free."_s))
        << run.out.toStdString() << run.err.toStdString();
    EXPECT_EQ(threaded.waitForEndingSignal(std::chrono::seconds(10)), SIGTERM);

    if (test::runningAsRoot()) {
        test::expectPassesInPidNamespace(u"VantuCliTest.WhatCannotBeReadPlainlyIsStillToldTruly"_s, true);
    }
}

// A container engine's helper holds the container's published port: signalling it would break
// the container and free nothing for good, so it is refused on every path, in words.
TEST_F(VantuCliTest, AContainerEnginesPortHelperIsNeverSignalled) {
    const QString folder = QFileInfo(root_.path()).canonicalFilePath();
    QFile::link(test::testListenerProgram(), folder + u"/rootlessport"_s);
    QProcess helper;
    helper.start(u"/usr/bin/setsid"_s, {folder + u"/rootlessport"_s, u"0"_s});
    ASSERT_TRUE(helper.waitForReadyRead(10000));
    const QString port = QString::fromLatin1(helper.readLine()).section(u' ', 1, 1).trimmed();
    for (const QStringList& how : {QStringList{u"--all"_s}, QStringList{u"--all"_s, u"--force"_s},
                                   QStringList{u"--all"_s, u"--session"_s, u"--force"_s}}) {
        const CliRun run = runCli(QStringList{u"stop"_s} + how + QStringList{port});
        EXPECT_EQ(run.exitCode, 2) << how.join(u' ').toStdString() << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(u"Port "_s + port + u": "_s) && run.err.contains(u"rootlessport"_s) &&
                    run.err.contains(u"container instead."_s))
            << run.err.toStdString();
        EXPECT_EQ(helper.state(), QProcess::Running) << how.join(u' ').toStdString();
    }
    helper.kill();
    helper.waitForFinished();
}

// A server started without job control shares the group of the terminal's shell: stopping that
// group would close the user's terminal, so nothing is signalled, not even by force. The shell
// may be the terminal's first one, or one nested in it (`bash -i`, the shell of `su`).
TEST_F(VantuCliTest, AGroupThatHoldsTheTerminalsShellIsRefused) {
    if (!QFileInfo::exists(u"/usr/bin/script"_s) || !QFileInfo::exists(u"/bin/bash"_s)) {
        GTEST_SKIP() << "script or bash is not installed";
    }
    struct Case {
        const char* what;
        QString command;
        // Typed into the terminal once it runs.
        QByteArray typed;
        const char* shell;
    };
    const uint16_t port = freePort();
    const QByteArray server = '"' + QFile::encodeName(test::testListenerProgram()) + "\" " + QByteArray::number(port);
    const Case cases[] = {
        {"the terminal's first shell", u"sh -c '%1 >/dev/null & wait'"_s.arg(QString::fromUtf8(server)), {}, "sh"},
        {"a nested interactive bash without job control", u"bash --norc --noprofile -i; true"_s,
         "set +m\n" + server + " >/dev/null &\n", "bash"},
    };
    for (const Case& c : cases) {
        QProcess terminal;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"SHELL"_s, u"/bin/sh"_s);
        terminal.setProcessEnvironment(environment);
        terminal.start(u"/usr/bin/script"_s, {u"-qfec"_s, c.command, u"/dev/null"_s});
        ASSERT_TRUE(terminal.waitForStarted()) << c.what;
        terminal.write(c.typed);
        terminal.waitForBytesWritten();
        const auto listening = [&] {
            return runCli({u"list"_s, u"--all"_s}).out.contains(QString::number(port) + u"  "_s);
        };
        for (int i = 0; i < 250 && !listening(); ++i) {
            QThread::msleep(20);
        }
        ASSERT_TRUE(listening()) << c.what;

        for (const QStringList& extra : {QStringList(), QStringList{u"--force"_s}}) {
            const CliRun run =
                runCli(QStringList{u"stop"_s, u"--session"_s, u"--all"_s} + extra + QStringList{QString::number(port)});
            EXPECT_EQ(run.exitCode, 2) << c.what << run.out.toStdString();
            EXPECT_TRUE(run.err.contains(u"includes the shell of a terminal (%1, PID "_s.arg(QLatin1String(c.shell))))
                << c.what << run.err.toStdString();
            EXPECT_TRUE(listening()) << c.what << ": nothing was signalled";
        }
        EXPECT_EQ(terminal.state(), QProcess::Running) << c.what << ": the terminal lives on";
        const CliRun cleanup = runCli({u"stop"_s, u"--all"_s, u"--force"_s, QString::number(port)});
        EXPECT_EQ(cleanup.exitCode, 0) << c.what << cleanup.err.toStdString();
        terminal.kill();
        terminal.waitForFinished();
    }
}

TEST_F(VantuCliTest, OutputThatCannotBeWrittenIsAFailure) {
    SpawnedListener node = SpawnedListener::start({.commandName = u"node"_s});
    QProcess process;
    process.setStandardOutputFile(u"/dev/full"_s);
    process.start(QStringLiteral(VANTU_CLI_PATH), {u"list"_s});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()).trimmed(),
              u"vantu-cli: Couldn\u2019t write the output: No space left on device."_s);
}

TEST_F(VantuCliTest, HostileFolderNamesReachTheTerminalOnlyAsVisibleText) {
    const QString hostile = u"evil\x1b]0;owned\x07\nnext\u202Etxt.js"_s;
    const QString folder = QFileInfo(root_.path()).canonicalFilePath() + u'/' + hostile;
    ASSERT_TRUE(QDir().mkpath(folder + u"/.git"_s));
    SpawnedListener node = SpawnedListener::start({.workingDirectory = folder, .commandName = u"node"_s});
    const CliRun run = runCli({u"list"_s});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    for (const QChar raw : {QChar(0x1B), QChar(0x07), QChar(0x202E)}) {
        EXPECT_FALSE(run.out.contains(raw)) << run.out.toStdString();
    }
    EXPECT_TRUE(run.out.contains(u"evil\\x1B]0;owned\\x07\\x0Anext\\u202Etxt.js"_s)) << run.out.toStdString();
}

TEST_F(VantuCliTest, ListingStartsNoChildProcessWhenTheKernelAnswers) {
    if (!QFileInfo::exists(u"/usr/bin/strace"_s)) {
        GTEST_SKIP() << "strace is not installed";
    }
    SpawnedListener node = SpawnedListener::start({.commandName = u"node"_s});
    // The leak checker of a sanitized build cannot run under a tracer.
    test::ScopedEnvironment environment;
    environment.set("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":detect_leaks=0");
    const QString trace = root_.filePath(u"trace"_s);
    const CliRun run = runCli({u"list"_s}, {u"/usr/bin/strace"_s, u"-f"_s, u"-qq"_s, u"-e"_s, u"trace=execve,clone3"_s,
                                            u"-e"_s, u"signal=none"_s, u"-o"_s, trace});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QString::number(node.port()))) << run.out.toStdString();
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray lines = file.readAll();
    EXPECT_EQ(lines.count("execve("), 1) << "only vantu-cli itself is executed:\n" << lines.toStdString();
}

TEST_F(VantuCliTest, BadArgumentsAreUsageErrors) {
    const CliRun run = runCli({u"stop"_s, u"http"_s});
    EXPECT_EQ(run.exitCode, 64);
    EXPECT_EQ(run.err.trimmed(), u"vantu-cli: Invalid port \u2018http\u2019. Use a number from 1 to 65535."_s);
    EXPECT_EQ(runCli({u"--help"_s}).exitCode, 0);
    EXPECT_TRUE(runCli({u"--version"_s}).out.startsWith(u"vantu-cli "_s));
}

// Real web servers: each one's address (https for TLS, the bound address when not 127.0.0.1),
// start, uptime and memory; `open` through a stand-in opener first on PATH, its failure in words.
TEST_F(VantuCliTest, OpenAndTheServersFactsOnRealWebServers) {
    using test::WebServer;
    const QString folder = makeProject(root_, u"web-site"_s);
    WebServer http(WebServer::Kind::http, u"127.0.0.1"_s, freePort(), folder);
    WebServer tls(WebServer::Kind::tls, u"127.0.0.1"_s, freePort(), folder);
    WebServer silent(WebServer::Kind::silent, u"127.0.0.1"_s, freePort(), folder);
    WebServer ipv6(WebServer::Kind::http, u"::1"_s, freePort(), folder);
    WebServer second(WebServer::Kind::tls, u"127.0.0.2"_s, freePort(), folder);
    for (WebServer* server : {&http, &tls, &silent, &ipv6, &second}) {
        ASSERT_NE(server->port(), 0) << server->errors().toStdString();
    }
    const QList<std::pair<const WebServer*, QString>> expected{
        {&http, u"http://localhost:%1/"_s}, {&tls, u"https://localhost:%1/"_s},    {&silent, u"http://localhost:%1/"_s},
        {&ipv6, u"http://[::1]:%1/"_s},     {&second, u"https://127.0.0.2:%1/"_s},
    };

    const qint64 before = QDateTime::currentSecsSinceEpoch();
    const CliRun json = runCli({u"list"_s, u"--json"_s, u"--all"_s});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QHash<int, QJsonObject> byPort = listenersByPort(json.out);
    for (const auto& [server, url] : expected) {
        const QJsonObject found = byPort.value(server->port());
        EXPECT_EQ(found[u"url"_s].toString(), url.arg(server->port())) << json.out.toStdString();
        const QDateTime started = QDateTime::fromString(found[u"startedAt"_s].toString(), Qt::ISODateWithMs);
        EXPECT_TRUE(started.isValid() && started.timeSpec() == Qt::UTC) << json.out.toStdString();
        EXPECT_TRUE(started.toSecsSinceEpoch() <= before && started.toSecsSinceEpoch() >= before - 120);
        EXPECT_GE(found[u"uptimeSeconds"_s].toInteger(), 0);
        EXPECT_GT(found[u"residentBytes"_s].toInteger(), 1'000'000) << "a Python interpreter holds megabytes";
    }

    const QString table = runCli({u"list"_s, u"--all"_s}).out;
    EXPECT_TRUE(table.contains(QRegularExpression(
        u"^ *PORT +PID +UPTIME .*\\n(.*\\n)* *%1 +%2 +[0-9]+[smhd] "_s.arg(http.port()).arg(http.pid()))))
        << table.toStdString();

    // The opener writes down what it was given and answers with the status it is told to.
    const QString bin = root_.path(), opened = root_.path() + u"/opened"_s;
    QFile opener(bin + u"/xdg-open"_s);
    ASSERT_TRUE(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\necho \"$1\" >>\"$OPENED\"\nexit \"${OPENER_STATUS:-0}\"\n");
    opener.close();
    opener.setPermissions(opener.permissions() | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"PATH"_s, bin + u':' + environment.value(u"PATH"_s));
    environment.insert(u"OPENED"_s, opened);

    EXPECT_EQ(runCli({u"open"_s, QString::number(tls.port())}, {}, environment).exitCode, 0);
    EXPECT_EQ(runCli({u"open"_s, QString::number(ipv6.port())}, {}, environment).exitCode, 0);
    QFile record(opened);
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(record.readAll()),
              u"https://localhost:%1/\nhttp://[::1]:%2/\n"_s.arg(tls.port()).arg(ipv6.port()));

    environment.insert(u"OPENER_STATUS"_s, u"3"_s);
    const CliRun failed = runCli({u"open"_s, QString::number(http.port())}, {}, environment);
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_EQ(failed.err.trimmed(),
              u"vantu-cli: Couldn’t open http://localhost:%1/: no browser is set up to open it."_s.arg(http.port()));

    EXPECT_EQ(runCli({u"open"_s, QString::number(freePort())}, {}, environment).exitCode, 1);
}

}  // namespace
}  // namespace vantu
