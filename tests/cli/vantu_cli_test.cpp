// Runs the real vantu-cli binary against real listeners on loopback.
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
CliRun runCli(const QStringList& arguments, const QStringList& wrapper = {}) {
    QProcess process;
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

uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
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
}

TEST_F(VantuCliTest, JsonHoldsTheSameFacts) {
    const QString folder = makeProject(root_, u"json-site"_s);
    SpawnedListener node = SpawnedListener::start({.workingDirectory = folder, .commandName = u"node"_s});
    const CliRun run = runCli({u"list"_s, u"--json"_s});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
    QJsonObject found;
    for (const QJsonValue& value : document.array()) {
        if (value[u"port"_s].toInt() == node.port()) {
            found = value.toObject();
        }
    }
    ASSERT_FALSE(found.isEmpty()) << run.out.toStdString();
    EXPECT_EQ(found[u"pid"_s].toInt(), node.pid());
    EXPECT_EQ(found[u"command"_s].toString(), u"node"_s);
    EXPECT_EQ(found[u"displayName"_s].toString(), u"json-site"_s);
    EXPECT_EQ(found[u"workingDirectory"_s].toString(), folder);
    EXPECT_EQ(found[u"project"_s][u"directory"_s].toString(), folder);
    EXPECT_TRUE(found[u"canTerminate"_s].toBool());
    EXPECT_EQ(found[u"identity"_s][u"pid"_s].toInt(), node.pid());
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
    EXPECT_TRUE(all.out.contains(port + u"  "_s + QString::number(other.pid()))) << all.out.toStdString();
}

TEST_F(VantuCliTest, StopFreesThePortOfACooperativeServer) {
    SpawnedListener node = SpawnedListener::start({.commandName = u"node"_s});
    const CliRun run = runCli({u"stop"_s, QString::number(node.port())});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(u"is free."_s)) << run.out.toStdString();
    EXPECT_TRUE(node.waitForExit(std::chrono::seconds(10)));
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
    EXPECT_EQ(run.err.trimmed(), u"Nothing is listening on port "_s + QString::number(port) + u'.');
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
              u"Port "_s + QString::number(foreign.port()) + u": Only your own processes can be stopped."_s);
    const CliRun listed = runCli({u"list"_s, u"--all"_s, u"--json"_s}, asDaemon);
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QJsonArray entries = QJsonDocument::fromJson(listed.out.toUtf8()).array();
    const auto entry = std::find_if(entries.begin(), entries.end(), [&](const QJsonValue& value) {
        return value[u"port"_s].toInt() == foreign.port();
    });
    ASSERT_NE(entry, entries.end()) << listed.out.toStdString();
    EXPECT_TRUE((*entry)[u"pid"_s].isNull());
    EXPECT_EQ((*entry)[u"userID"_s].toInt(), 65534);
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

TEST_F(VantuCliTest, ListingStartsNoChildProcessWhenTheKernelAnswers) {
    if (!QFileInfo::exists(u"/usr/bin/strace"_s)) {
        GTEST_SKIP() << "strace is not installed";
    }
    SpawnedListener node = SpawnedListener::start({.commandName = u"node"_s});
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

}  // namespace
}  // namespace vantu
