#include "core/listener_parser.h"

#include <gtest/gtest.h>

#include <QHash>

#include <vector>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

ProcessIdentity identityFor(int32_t pid) {
    return ProcessIdentity{pid, 501, 1700000000, static_cast<uint64_t>(pid > 0 ? pid : -pid)};
}

// A lookup that knows every pid and counts how often it is asked.
struct CountingLookup {
    QHash<int32_t, int> calls;
    QList<int32_t> unknown;
    ListenerParser::IdentityLookup function() {
        return [this](int32_t pid) -> std::optional<ProcessIdentity> {
            ++calls[pid];
            if (unknown.contains(pid)) {
                return std::nullopt;
            }
            return identityFor(pid);
        };
    }
};

struct Expected {
    int32_t pid;
    uint16_t port;
    const char* command;
};

QList<Listener> parseWithTable(const QString& output) {
    CountingLookup lookup;
    return ListenerParser::parse(output, lookup.function());
}

void expectListeners(const QList<Listener>& actual, const std::vector<Expected>& expected, const char* input) {
    ASSERT_EQ(static_cast<size_t>(actual.size()), expected.size()) << input;
    for (size_t i = 0; i < expected.size(); ++i) {
        const Listener& listener = actual.at(static_cast<qsizetype>(i));
        EXPECT_EQ(listener.pid, expected[i].pid) << input;
        EXPECT_EQ(listener.port, expected[i].port) << input;
        EXPECT_EQ(listener.command, QString::fromUtf8(expected[i].command)) << input;
        EXPECT_FALSE(listener.project.has_value());
        EXPECT_FALSE(listener.workingDirectory.has_value());
    }
}

TEST(ListenerParserTest, Table) {
    struct Case {
        const char* input;
        std::vector<Expected> expected;
    };
    const Case cases[] = {
        {"", {}},
        {"\n\n\n", {}},
        // IPv4, any address, bracketed IPv6, with and without a zone.
        {"p10\ncnode\nn127.0.0.1:8080\n", {{10, 8080, "node"}}},
        {"p10\ncnode\nn*:3000\n", {{10, 3000, "node"}}},
        {"p10\ncnode\nn[::1]:5173\n", {{10, 5173, "node"}}},
        {"p10\ncnode\nn[fe80::1%lo0]:5173\n", {{10, 5173, "node"}}},
        // One server's IPv4 and IPv6 sockets collapse into one listener, with or without f lines.
        {"p4312\ncnode\nf23\nn*:5173\nf24\nn[::1]:5173\n", {{4312, 5173, "node"}}},
        {"p4312\ncnode\nn127.0.0.1:5173\nn[::1]:5173\nn127.0.0.1:5173\n", {{4312, 5173, "node"}}},
        // Sorted by port, then pid.
        {"p20\ncnode\nn*:8080\np30\ncvite\nn*:3000\n", {{30, 3000, "vite"}, {20, 8080, "node"}}},
        {"p30\ncnode\nn*:3000\np20\ncruby\nn*:3000\n", {{20, 3000, "ruby"}, {30, 3000, "node"}}},
        // Ports that are not ports.
        {"p10\ncnode\nn127.0.0.1:\n", {}},
        {"p10\ncnode\nn*:*\n", {}},
        {"p10\ncnode\nn*:0\n", {}},
        {"p10\ncnode\nn*:65536\n", {}},
        {"p10\ncnode\nn*:99999999999999999999\n", {}},
        {"p10\ncnode\nn*:65535\n", {{10, 65535, "node"}}},
        {"p10\ncnode\nn*:+80\n", {{10, 80, "node"}}},
        {"p10\ncnode\nn*:-80\n", {}},
        {"p10\ncnode\nn\n", {}},
        // A bad p line clears the process until the next good one; c still sets the command.
        {"p\ncnode\nn*:3000\np11\ncnode\nn*:3001\n", {{11, 3001, "node"}}},
        {"pabc\ncnode\nn*:3000\n", {}},
        {"p2147483648\ncnode\nn*:3000\n", {}},
        // A p line resets the command.
        {"p10\ncnode\np11\nn*:3000\n", {}},
        {"p10\nc\nn*:3000\n", {}},
        // Signs on pids.
        {"p+42\ncnode\nn*:3000\np-7\ncruby\nn*:3001\n", {{42, 3000, "node"}, {-7, 3001, "ruby"}}},
        // n before any c of its process.
        {"p10\nn*:3000\ncnode\n", {}},
        // Unknown identifiers and the tool's warnings change nothing.
        {"lsof: WARNING: can't stat() fuse.gvfsd-fuse file system /run/user/1000/gvfs\n"
         "p10\nf5\nt IPv4\nPTCP\ncnode\nn*:3000\nTST=LISTEN\n",
         {{10, 3000, "node"}}},
        // Carriage returns stay in the value: the port no longer reads as a number.
        {"p10\r\ncnode\r\nn*:3000\r\n", {}},
        {"p10\ncnode\r\nn*:3000\n", {{10, 3000, "node\r"}}},
    };
    for (const auto& c : cases) {
        expectListeners(parseWithTable(QString::fromUtf8(c.input)), c.expected, c.input);
    }
}

TEST(ListenerParserTest, IdentityIsLookedUpOncePerProcessSet) {
    CountingLookup lookup;
    const auto listeners = ListenerParser::parse(u"p10\ncnode\nn*:3000\nn*:3001\nn*:3002\np11\ncvite\nn*:4000\n"_s,
                                                 lookup.function());
    ASSERT_EQ(listeners.size(), 4);
    EXPECT_EQ(lookup.calls.value(10), 1);
    EXPECT_EQ(lookup.calls.value(11), 1);
    for (const Listener& listener : listeners) {
        EXPECT_EQ(listener.identity, identityFor(listener.pid));
    }
}

TEST(ListenerParserTest, InvalidPidIsNeverLookedUp) {
    CountingLookup lookup;
    ListenerParser::parse(u"p\npx\np99999999999\ncnode\nn*:3000\n"_s, lookup.function());
    EXPECT_TRUE(lookup.calls.isEmpty());
}

TEST(ListenerParserTest, FailedIdentityStillYieldsAListener) {
    CountingLookup lookup;
    lookup.unknown = {10};
    const auto listeners = ListenerParser::parse(u"p10\ncnode\nn*:3000\n"_s, lookup.function());
    ASSERT_EQ(listeners.size(), 1);
    EXPECT_FALSE(listeners.front().identity.has_value());
}

TEST(ListenerParserTest, AFailedLookupKeepsAnEarlierIdentityOfThePid) {
    int calls = 0;
    const auto lookup = [&calls](int32_t pid) -> std::optional<ProcessIdentity> {
        return ++calls == 1 ? std::optional(identityFor(pid)) : std::nullopt;
    };
    const auto listeners = ListenerParser::parse(u"p10\ncnode\nn*:3000\np10\ncnode\nn*:3001\n"_s, lookup);
    ASSERT_EQ(listeners.size(), 2);
    EXPECT_EQ(listeners.at(1).port, 3001);
    EXPECT_EQ(listeners.at(1).identity, identityFor(10));
}

TEST(ListenerParserTest, SamePidWithDifferentIdentitiesGivesTwoRows) {
    int calls = 0;
    const auto lookup = [&calls](int32_t pid) -> std::optional<ProcessIdentity> {
        ProcessIdentity identity = identityFor(pid);
        identity.startSeconds += static_cast<uint64_t>(++calls);
        return identity;
    };
    const auto listeners = ListenerParser::parse(u"p10\ncnode\nn*:3000\np10\ncnode\nn*:3000\n"_s, lookup);
    EXPECT_EQ(listeners.size(), 2);
}

TEST(ListenerParserTest, InvalidUtf8DecodesWithoutHarm) {
    const QByteArray raw("p10\nc\xFF\xFEnode\nn*:3000\nn*:30\xC3\x28\n");
    const auto listeners = ListenerParser::parse(QString::fromUtf8(raw), [](int32_t pid) { return identityFor(pid); });
    ASSERT_EQ(listeners.size(), 1);
    EXPECT_EQ(listeners.front().port, 3000);
    EXPECT_TRUE(listeners.front().command.contains(QChar(0xFFFD)));
}

}  // namespace
}  // namespace vantu
