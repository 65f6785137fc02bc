#include "core/container_list.h"
#include "core/engine_endpoints.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// Answers as Docker 20.10 and Podman 4.3's compatible API give them.
TEST(ContainerListTest, RunningContainersWithTheirTcpPortsAreRead) {
    const QByteArray docker = R"([{"Id": "4f1c0ffee0000000000000000000000000000000000000000000000000000001",
        "Names": ["/shop_web_1"], "Image": "busybox:1", "State": "running",
        "Ports": [{"IP": "0.0.0.0", "PrivatePort": 80, "PublicPort": 8080, "Type": "tcp"},
                  {"IP": "::", "PrivatePort": 80, "PublicPort": 8080, "Type": "tcp"},
                  {"IP": "127.0.0.1", "PrivatePort": 53, "PublicPort": 5353, "Type": "udp"},
                  {"PrivatePort": 9000, "Type": "tcp"}],
        "Labels": {"com.docker.compose.project": "shop", "com.docker.compose.service": "web",
                   "com.docker.compose.project.working_dir": "/home/ada/shop"}},
      {"Id": "50", "Names": ["/idle"], "Image": "busybox:1", "State": "exited",
       "Ports": [{"IP": "0.0.0.0", "PrivatePort": 80, "PublicPort": 8081, "Type": "tcp"}], "Labels": {}}])";
    const QByteArray podman = R"([{"Id": "9a", "Names": ["api"], "Image": "localhost/app:1", "State": "running",
        "Ports": [{"PrivatePort": 5432, "PublicPort": 5432, "Type": "tcp"},
                  {"IP": "127.0.0.2", "PrivatePort": 80, "PublicPort": 8000, "Type": "tcp"}],
        "Labels": null}])";
    struct Case {
        const char* what;
        QByteArray json;
        std::optional<QList<Container>> expected;
    };
    const Case cases[] = {
        {"Docker: one port on both families, udp and unpublished ports left out, compose labels, stopped "
         "containers left out",
         docker,
         QList<Container>{{u"4f1c0ffee0000000000000000000000000000000000000000000000000000001"_s,
                           u"shop_web_1"_s,
                           u"busybox:1"_s,
                           {{QString(), 8080, 80}},
                           ComposeLabels{u"shop"_s, u"web"_s, u"/home/ada/shop"_s}}}},
        {"Podman: no IP means every address, null labels", podman,
         QList<Container>{{u"9a"_s,
                           u"api"_s,
                           u"localhost/app:1"_s,
                           {{QString(), 5432, 5432}, {u"127.0.0.2"_s, 8000, 80}},
                           std::nullopt}}},
        {"no containers", "[]", QList<Container>{}},
        {"not a list", R"({"message": "page not found"})", std::nullopt},
        {"garbage", "\x00\xff<html>", std::nullopt},
        {"odd entries and ports are passed over",
         R"([1, "x", {"Id": "7", "State": "running", "Ports": [{"PublicPort": 70000, "PrivatePort": 1}]}])",
         QList<Container>{{u"7"_s, u"7"_s, QString(), {}, std::nullopt}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ContainerList::parse(c.json), c.expected) << c.what;
    }
    EXPECT_EQ(ContainerList::parse(docker)->front().shortId(), u"4f1c0ffee000"_s);
}

TEST(ContainerListTest, OnlyLocalEngineSocketsAreAsked) {
    using Engine = EngineEndpoint::Engine;
    const platform::EngineSettings plain{.runtimeDirectory = u"/run/user/1000"_s, .homeDirectory = u"/home/ada"_s};
    struct Case {
        const char* what;
        platform::EngineSettings settings;
        QList<EngineEndpoint> expected;
    };
    platform::EngineSettings chosen = plain;
    chosen.dockerHost = u"unix:///srv/docker.sock"_s;
    chosen.dockerContextHost = u"unix:///ignored.sock"_s;
    chosen.containerHost = u"unix:///run/user/1000/podman/podman.sock"_s;
    platform::EngineSettings remote = plain;
    remote.dockerContextHost = u"ssh://ada@build"_s;
    remote.containerHost = u"tcp://10.0.0.2:2375"_s;
    platform::EngineSettings noRuntime = plain;
    noRuntime.runtimeDirectory.clear();
    const Case cases[] = {
        {"the usual places",
         plain,
         {{Engine::docker, u"/var/run/docker.sock"_s},
          {Engine::docker, u"/run/user/1000/docker.sock"_s},
          {Engine::docker, u"/home/ada/.docker/desktop/docker.sock"_s},
          {Engine::podman, u"/run/user/1000/podman/podman.sock"_s},
          {Engine::podman, u"/run/podman/podman.sock"_s}}},
        {"the environment's choice wins over the context's",
         chosen,
         {{Engine::docker, u"/srv/docker.sock"_s}, {Engine::podman, u"/run/user/1000/podman/podman.sock"_s}}},
        {"remote engines are never asked", remote, {}},
        {"no runtime folder",
         noRuntime,
         {{Engine::docker, u"/var/run/docker.sock"_s},
          {Engine::docker, u"/home/ada/.docker/desktop/docker.sock"_s},
          {Engine::podman, u"/run/podman/podman.sock"_s}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EngineEndpoints::candidates(c.settings), c.expected) << c.what;
    }
    EXPECT_EQ(EngineEndpoints::unixSocketOf(u"unix://relative.sock"_s), QString());
}

}  // namespace
}  // namespace vantu
