// The engine client against stand-ins on real unix sockets: an engine that answers as Docker
// does, one that accepts and never answers (a frozen engine), one that answers garbage, one
// that answers 10 MB, and a socket nobody listens on.
#include "platform/container_engine.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vantu::platform {
namespace {

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

}  // namespace
}  // namespace vantu::platform
