// The engine client and the scan of the user's engines against stand-ins on real unix sockets:
// an engine that answers as Docker does, one that accepts and never answers (a frozen engine),
// one that answers garbage, one that answers 10 MB, and a socket nobody listens on; and
// against a real Docker engine when the machine has one to start.
#include "platform/container_engine.h"
#include "core/container_events.h"
#include "core/container_scan.h"
#include "core/listener_enumerator.h"
#include "core/stop_plan.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vantu {
namespace {

using platform::EngineFailure;
using platform::EngineReply;
using platform::engineRequest;

// Serves one connection at a time on `path` with `answer` until destroyed; an empty answer
// never answers.
class StandIn {
public:
    StandIn(const QString& path, std::string answer) : answer_(std::move(answer)) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.toLocal8Bit().constData(), sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 4), 0);
        thread_ = std::thread([this] { serve(); });
    }
    ~StandIn() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

private:
    void serve() {
        while (!stop_) {
            const int client = ::accept(fd_, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            char request[4096];
            (void)::read(client, request, sizeof request);
            if (answer_.empty()) {
                while (!stop_) {
                    std::this_thread::sleep_for(10ms);  // holds the connection, as a frozen engine does
                }
            } else {
                (void)::write(client, answer_.data(), answer_.size());
            }
            ::close(client);
        }
    }

    std::string answer_;
    int fd_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST(ContainerEngineTest, AnswersFailuresAndSilenceAreToldApart) {
    QTemporaryDir folder;
    const std::string chunked =
        "HTTP/1.1 200 OK\r\nApi-Version: 1.41\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n[]\r\n0\r\n\r\n";
    const std::string huge = "HTTP/1.1 200 OK\r\nContent-Length: 10485760\r\n\r\n" + std::string(10485760, ' ');
    StandIn docker(folder.filePath(u"docker.sock"_s), chunked);
    StandIn frozen(folder.filePath(u"frozen.sock"_s), {});
    StandIn garbage(folder.filePath(u"garbage.sock"_s), "\x16\x03\x01 not http at all\r\n\r\n");
    StandIn large(folder.filePath(u"large.sock"_s), huge);

    const auto answered =
        engineRequest(folder.filePath(u"docker.sock"_s), "GET", "/v1.41/containers/json", 500ms, 8 << 20);
    ASSERT_TRUE(std::holds_alternative<EngineReply>(answered))
        << std::get<EngineFailure>(answered).reason.toStdString();
    EXPECT_EQ(std::get<EngineReply>(answered).status, 200);
    EXPECT_EQ(std::get<EngineReply>(answered).body, "[]");

    struct Case {
        const char* what;
        QString socket;
        QString reason;
        bool reachedEngine;
    };
    const Case cases[] = {
        {"frozen", u"frozen.sock"_s, u"it did not answer within 0.3 s"_s, true},
        {"too large", u"large.sock"_s, u"its answer was larger than 8 MB"_s, true},
        {"nobody there", u"missing.sock"_s, u"nothing answers at "_s + folder.filePath(u"missing.sock"_s), false},
    };
    for (const Case& c : cases) {
        const auto result = engineRequest(folder.filePath(c.socket), "GET", "/_ping", 300ms, 8 << 20);
        ASSERT_TRUE(std::holds_alternative<EngineFailure>(result)) << c.what;
        EXPECT_EQ(std::get<EngineFailure>(result).reason, c.reason) << c.what;
        EXPECT_EQ(std::get<EngineFailure>(result).reachedEngine, c.reachedEngine) << c.what;
    }
    const auto confused = engineRequest(folder.filePath(u"garbage.sock"_s), "GET", "/_ping", 300ms, 8 << 20);
    ASSERT_TRUE(std::holds_alternative<EngineFailure>(confused));
    EXPECT_TRUE(std::get<EngineFailure>(confused).reachedEngine);
    EXPECT_FALSE(std::get<EngineFailure>(confused).reason.isEmpty());
}

TEST(ContainerEngineTest, AnEngineThatFailsIsLeftAloneForAWhile) {
    QTemporaryDir folder;
    const std::string list = R"([{"Id": "9a", "Names": ["api"], "Image": "localhost/app:1", "State": "running",
        "Ports": [{"PrivatePort": 5432, "PublicPort": 5432, "Type": "tcp"}], "Labels": null}])";
    StandIn podman(folder.filePath(u"podman.sock"_s),
                   "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(list.size()) + "\r\n\r\n" + list);
    StandIn frozen(folder.filePath(u"frozen.sock"_s), {});
    const QList<EngineEndpoint> endpoints{{EngineEndpoint::Engine::docker, folder.filePath(u"frozen.sock"_s)},
                                          {EngineEndpoint::Engine::podman, folder.filePath(u"podman.sock"_s)},
                                          {EngineEndpoint::Engine::docker, folder.filePath(u"absent.sock"_s)}};
    const ContainerScan scan([&] { return endpoints; }, 200ms, std::chrono::hours(1));

    for (const int round : {1, 2}) {
        const ContainerScanResult result = scan.scan();
        ASSERT_EQ(result.engines.size(), 1) << round;
        EXPECT_EQ(result.engines.front().endpoint, endpoints[1]);
        ASSERT_EQ(result.engines.front().containers.size(), 1);
        EXPECT_EQ(result.engines.front().containers.front().name, u"api"_s);
        // The frozen engine costs its limit once, and is then not asked again.
        EXPECT_EQ(result.problems, round == 1 ? QStringList{u"Docker at "_s + folder.filePath(u"frozen.sock"_s) +
                                                            u": it did not answer within 0.2 s"_s}
                                              : QStringList{})
            << round;
    }
}

// A private Docker engine with a container from an image made of busybox: its published port is
// read from the engine, once for both address families, while the port itself is held by the
// engine's proxy, which no stop may signal.
TEST(ContainerEngineTest, ARealDockerEnginesContainersAreRead) {
    const QString dockerd = QStandardPaths::findExecutable(u"dockerd"_s);
    if (!test::runningAsRoot() || dockerd.isEmpty() || !QFile::exists(u"/bin/busybox"_s)) {
        GTEST_SKIP() << "a private Docker engine needs root, docker.io and busybox-static (scripts/dev.sh deps)";
    }
    QTemporaryDir root;
    const QString socket = root.filePath(u"docker.sock"_s);
    QProcess engine;
    engine.setProcessChannelMode(QProcess::MergedChannels);
    engine.start(dockerd, {u"-H"_s, u"unix://"_s + socket, u"--data-root"_s, root.filePath(u"data"_s), u"--exec-root"_s,
                           root.filePath(u"exec"_s), u"--pidfile"_s, root.filePath(u"pid"_s), u"--iptables=false"_s});
    for (int i = 0; i < 200 && !platform::isSocket(socket); ++i) {
        QThread::msleep(50);
    }
    if (!platform::isSocket(socket)) {
        engine.kill();
        engine.waitForFinished();
        GTEST_SKIP() << "dockerd did not start here: " << engine.readAll().right(400).toStdString();
    }
    const auto stopEngine = qScopeGuard([&] {
        engine.terminate();
        if (!engine.waitForFinished(20000)) {
            engine.kill();
            engine.waitForFinished();
        }
    });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DOCKER_HOST"_s, u"unix://"_s + socket);
    const auto docker = [&](const QStringList& arguments, const QByteArray& input = {}) {
        QProcess client;
        client.setProcessEnvironment(environment);
        client.start(u"docker"_s, arguments);
        client.write(input);
        client.closeWriteChannel();
        client.waitForFinished(60000);
        return client.exitCode() == 0 ? QString::fromUtf8(client.readAllStandardOutput()).trimmed() : QString();
    };
    QProcess image;
    image.start(u"/bin/sh"_s, {u"-c"_s,
                               u"d=$(mktemp -d) && mkdir $d/bin && cp /bin/busybox $d/bin/ && "
                               "ln -s busybox $d/bin/sh && ln -s busybox $d/bin/httpd && tar -C $d -c ."_s});
    image.waitForFinished();
    ASSERT_FALSE(docker({u"import"_s, u"-"_s, u"vantu-test:1"_s}, image.readAllStandardOutput()).isEmpty());
    ASSERT_FALSE(
        docker({u"run"_s, u"-d"_s, u"--name"_s, u"shop_web_1"_s, u"-p"_s, u"127.0.0.1:19099:80"_s, u"-l"_s,
                u"com.docker.compose.project=shop"_s, u"vantu-test:1"_s, u"httpd"_s, u"-f"_s, u"-p"_s, u"80"_s})
            .isEmpty());

    const ContainerScanResult result = ContainerScan([&] {
                                           return QList<EngineEndpoint>{{EngineEndpoint::Engine::docker, socket}};
                                       }).scan();

    EXPECT_TRUE(result.problems.isEmpty()) << result.problems.join(u'\n').toStdString();
    ASSERT_EQ(result.engines.size(), 1);
    ASSERT_EQ(result.engines.front().containers.size(), 1);
    const Container& web = result.engines.front().containers.front();
    EXPECT_EQ(web.name, u"shop_web_1"_s);
    EXPECT_EQ(web.image, u"vantu-test:1"_s);
    EXPECT_EQ(web.ports, (QList<PublishedPort>{{u"127.0.0.1"_s, 19099, 80}}));
    ASSERT_TRUE(web.compose.has_value());
    EXPECT_EQ(web.compose->project, u"shop"_s);

    // The host port is the engine proxy's: asked to stop it, the plan refuses in words.
    const auto found = ListenerEnumerator().enumerate();
    ASSERT_TRUE(std::holds_alternative<ListenerInventory>(found));
    const auto& listeners = std::get<ListenerInventory>(found).listeners;
    const auto proxy = std::find_if(listeners.cbegin(), listeners.cend(),
                                    [](const Listener& listener) { return listener.port == 19099; });
    ASSERT_NE(proxy, listeners.cend());
    const StopSendResult refused = StopPlan::send(StopTarget::process(*proxy->identity, proxy->command), true);
    ASSERT_TRUE(std::holds_alternative<PortServiceError>(refused));
    EXPECT_TRUE(std::get<PortServiceError>(refused).errorDescription().contains(u"Stop the container instead."_s));
    EXPECT_FALSE(docker({u"ps"_s, u"-q"_s, u"--filter"_s, u"name=shop_web_1"_s}).isEmpty()) << "the container runs on";
    docker({u"rm"_s, u"-f"_s, u"shop_web_1"_s});
}

}  // namespace
}  // namespace vantu

namespace vantu {
namespace {

// An engine whose event stream tells of a container that died and then breaks: the watch
// refreshes, opens the stream again after its pause, and stops calling once destroyed. Lines
// that are no start or end of a container change nothing.
TEST(ContainerEventsTest, StartsAndEndsAreFollowedAcrossABrokenStream) {
    EXPECT_TRUE(ContainerEvents::isListChange(R"({"Type":"container","Action":"start","id":"4f"})"));
    EXPECT_TRUE(ContainerEvents::isListChange(R"({"status":"die","id":"4f"})"));
    EXPECT_FALSE(ContainerEvents::isListChange(R"({"Type":"container","Action":"exec_start: sh"})"));
    EXPECT_FALSE(ContainerEvents::isListChange(R"({"Type":"network","Action":"destroy"})"));
    EXPECT_FALSE(ContainerEvents::isListChange("not json"));

    QTemporaryDir folder;
    const QString socket = folder.filePath(u"events.sock"_s);
    const StandIn engine(socket,
                         "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n"
                         R"({"Type":"container","Action":"exec_die"})"
                         "\n"
                         R"({"Type":"container","Action":"die","id":"4f"})"
                         "\n");
    std::atomic<int> changes{0};
    auto watch = std::make_unique<ContainerEvents>(QList<EngineEndpoint>{{EngineEndpoint::Engine::docker, socket}},
                                                   [&changes] { ++changes; });
    for (int i = 0; i < 100 && changes < 2; ++i) {
        QThread::msleep(50);
    }
    EXPECT_EQ(changes, 2) << "one die per stream, the stream opened again after it broke";
    watch.reset();
    const int seen = changes;
    QThread::msleep(2500);
    EXPECT_EQ(changes, seen) << "no call after the watch is gone";
}

}  // namespace
}  // namespace vantu
