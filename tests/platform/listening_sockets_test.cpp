#include "platform/listening_sockets.h"

#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

using test::SpawnedListener;

TEST(ListeningSocketsTest, TheDumpHoldsEachFamilysSocketWithItsOwner) {
    SpawnedListener listener = SpawnedListener::start({.host = u"both"_s});
    const auto dumped = dumpListeningSockets();
    ASSERT_TRUE(std::holds_alternative<std::vector<ListeningSocket>>(dumped)) << std::get<int>(dumped);
    const auto& sockets = std::get<std::vector<ListeningSocket>>(dumped);
    for (const bool ipv6 : {false, true}) {
        const auto socket = std::find_if(sockets.cbegin(), sockets.cend(), [&](const ListeningSocket& s) {
            return s.port == listener.port() && s.ipv6 == ipv6;
        });
        ASSERT_NE(socket, sockets.cend()) << "ipv6: " << ipv6;
        EXPECT_EQ(socket->uid, ::geteuid());
        EXPECT_NE(socket->inode, 0U);
    }
}

TEST(ListeningSocketsTest, OnlyAProcessThatHoldsTheSocketConfirmsThePort) {
    SpawnedListener listener = SpawnedListener::start({.ports = {0, 0}, .forkSharer = true});
    SpawnedListener other = SpawnedListener::start();
    SpawnedListener gone = SpawnedListener::start();
    const pid_t gonePid = gone.pid();
    const uint16_t gonePort = gone.port();
    gone.kill();
    struct Case {
        const char* what;
        int32_t pid;
        uint16_t port;
        bool confirmed;
    };
    const Case cases[] = {
        {"its first port", listener.pid(), listener.ports().at(0), true},
        {"its second port", listener.pid(), listener.ports().at(1), true},
        {"the child sharing its sockets", listener.sharerPid(), listener.port(), true},
        {"another process's port", listener.pid(), other.port(), false},
        {"a process that has exited", gonePid, gonePort, false},
        {"no process", 0, listener.port(), false},
    };
    for (const Case& c : cases) {
        const auto facts = confirmListening(c.pid, c.port);
        EXPECT_EQ(facts.has_value(), c.confirmed) << c.what;
        if (facts) {
            EXPECT_EQ(facts, readProcessFacts(c.pid)) << c.what;
        }
    }
}

TEST(ListeningSocketsTest, HoldersAreFoundWithTheFactsOfTheirInstance) {
    SpawnedListener listener = SpawnedListener::start({.host = u"both"_s});
    const auto dumped = std::get<std::vector<ListeningSocket>>(dumpListeningSockets());
    InodeSet inodes;
    for (const ListeningSocket& socket : dumped) {
        if (socket.port == listener.port()) {
            inodes.insert(socket.inode);
        }
    }
    ASSERT_EQ(inodes.size(), 2U);
    const auto holders = findSocketHoldersAmong(inodes, {listener.pid(), ::getpid()});
    ASSERT_EQ(holders.size(), 1U);
    EXPECT_EQ(holders.front().pid, listener.pid());
    EXPECT_EQ(holders.front().facts, readProcessFacts(listener.pid()));
    EXPECT_EQ(holders.front().command, u"test_listener"_s);
    EXPECT_EQ(holders.front().inodes.size(), 2U);
    const auto everyone = findSocketHolders(inodes, std::nullopt);
    ASSERT_EQ(everyone.size(), 1U);
    EXPECT_EQ(everyone.front().pid, listener.pid());
}

}  // namespace
}  // namespace vantu::platform
