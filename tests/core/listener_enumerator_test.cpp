// The kernel's socket dump and the listing tool, side by side on real listeners, and both
// under a pid that changes hands while they run.
#include "core/listener_enumerator.h"
#include "core/process_stopper.h"
#include "enumerators.h"
#include "pid_namespace.h"
#include "spawned_listener.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <set>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace vantu {
namespace {

using platform::ListeningSocket;
using platform::SocketHolder;
using test::SpawnedListener;

ListenerInventory inventoryOf(const std::variant<ListenerInventory, ServiceError>& found) {
    if (const auto* error = std::get_if<ServiceError>(&found)) {
        ADD_FAILURE() << "enumeration failed: " << errorDescription(*error).toStdString();
        return {};
    }
    return std::get<ListenerInventory>(found);
}

QList<Listener> listenersOf(const ListenerInventory& inventory, const std::set<pid_t>& pids) {
    QList<Listener> mine;
    std::copy_if(inventory.listeners.cbegin(), inventory.listeners.cend(), std::back_inserter(mine),
                 [&](const Listener& listener) { return pids.contains(listener.pid); });
    return mine;
}

TEST(ListenerEnumeratorTest, AssemblesOneRecordPerProcessAndPortAndKeepsWhatNobodyHeld) {
    const platform::ProcessFacts facts{.effectiveUid = 1000, .startSeconds = 50, .startMicroseconds = 7};
    const std::vector<ListeningSocket> sockets{
        {.port = 5173, .uid = 1000, .inode = 11, .address = u"0.0.0.0"_s},
        {.port = 5173, .uid = 1000, .inode = 12, .ipv6 = true, .address = u"::"_s},
        {.port = 3000, .uid = 1000, .inode = 13, .address = u"127.0.0.2"_s},
        {.port = 22, .uid = 0, .inode = 14},
        {.port = 22, .uid = 0, .inode = 15, .ipv6 = true},
    };
    const std::vector<SocketHolder> holders{
        // IPv4 and IPv6 of one process on one port: one listener.
        {.pid = 40, .facts = facts, .command = u"node"_s, .inodes = {11, 12}},
        // A socket shared by a parent and its child: both are listed.
        {.pid = 30, .facts = facts, .command = u"ruby"_s, .inodes = {13}},
        {.pid = 31, .facts = facts, .command = u"ruby"_s, .inodes = {13}},
        // A holder of nothing that was dumped adds nothing.
        {.pid = 50, .facts = facts, .command = u"vim"_s, .inodes = {99}},
    };

    const ListenerInventory inventory = ListenerEnumerator::assemble(sockets, holders);

    ASSERT_EQ(inventory.listeners.size(), 3);
    const auto expected = [&](int32_t pid, uint16_t port, const QString& command, const QStringList& addresses) {
        return Listener{.pid = pid,
                        .port = port,
                        .command = command,
                        .identity = ProcessIdentity::of(pid, facts),
                        .addresses = addresses};
    };
    EXPECT_EQ(inventory.listeners.at(0), expected(30, 3000, u"ruby"_s, {u"127.0.0.2"_s}));
    EXPECT_EQ(inventory.listeners.at(1), expected(31, 3000, u"ruby"_s, {u"127.0.0.2"_s}));
    // Both sockets' addresses, for choosing where a browser reaches it.
    EXPECT_EQ(inventory.listeners.at(2), expected(40, 5173, u"node"_s, {u"0.0.0.0"_s, u"::"_s}));
    EXPECT_EQ(inventory.foreign, (QList<ForeignPort>{{.port = 22, .userID = 0}}));
}

// What each case starts; both ways must agree on the records of the processes it started.
struct Scenario {
    const char* name;
    std::function<std::vector<SpawnedListener>()> start;
    size_t expectedListeners;
    bool needsRoot = false;
};

TEST(ListenerEnumeratorCrossCheck, TheKernelAndTheListingToolFindTheSameListeners) {
    std::vector<Scenario> cases{
        {"IPv4 only",
         [] {
             std::vector<SpawnedListener> started;
             started.push_back(SpawnedListener::start({.host = u"127.0.0.1"_s}));
             return started;
         },
         1},
        {"IPv6 only",
         [] {
             std::vector<SpawnedListener> started;
             started.push_back(SpawnedListener::start({.host = u"::1"_s}));
             return started;
         },
         1},
        {"dual stack, two ports",
         [] {
             std::vector<SpawnedListener> started;
             started.push_back(SpawnedListener::start({.host = u"both"_s, .ports = {0, 0}}));
             return started;
         },
         2},
        {"a socket shared with a forked child",
         [] {
             std::vector<SpawnedListener> started;
             started.push_back(SpawnedListener::start({.forkSharer = true}));
             return started;
         },
         2},
        {"SO_REUSEPORT across two processes",
         [] {
             std::vector<SpawnedListener> started;
             started.push_back(SpawnedListener::start({.reusePort = true}));
             const uint16_t port = started.front().port();
             started.push_back(SpawnedListener::start({.ports = {port}, .reusePort = true}));
             return started;
         },
         2},
        {"another user's listener",
         [] {
             std::vector<SpawnedListener> started;
             started.push_back(SpawnedListener::start({.commandName = u"node"_s, .user = u"nobody"_s}));
             return started;
         },
         1, true},
        {"a thousand listeners in one process",
         [] {
             std::vector<SpawnedListener> started;
             started.push_back(SpawnedListener::start({.ports = std::vector<uint16_t>(1000, 0)}));
             return started;
         },
         1000},
    };
    for (const Scenario& scenario : cases) {
        SCOPED_TRACE(scenario.name);
        if (scenario.needsRoot && !test::runningAsRoot()) {
            continue;
        }
        const std::vector<SpawnedListener> started = scenario.start();
        std::set<pid_t> pids;
        for (const SpawnedListener& listener : started) {
            pids.insert(listener.pid());
            if (listener.sharerPid() > 0) {
                pids.insert(listener.sharerPid());
            }
        }
        const auto kernel = listenersOf(inventoryOf(ListenerEnumerator().enumerate()), pids);
        const auto tool = listenersOf(inventoryOf(test::withoutSocketDump().enumerate()), pids);
        EXPECT_EQ(static_cast<size_t>(kernel.size()), scenario.expectedListeners);
        EXPECT_EQ(kernel, tool);
        for (const Listener& listener : kernel) {
            EXPECT_TRUE(listener.identity.has_value());
        }
    }
}

TEST(ListenerEnumeratorTest, AnotherUsersPortIsReportedWithItsOwnerWhenItsHolderIsOutOfReach) {
    if (!test::runningAsRoot()) {
        GTEST_SKIP() << "starting a process as another user needs root";
    }
    SpawnedListener theirs = SpawnedListener::start({.user = u"nobody"_s});
    // Run as nobody's neighbour: a child that drops to another user walks only that user's
    // processes, as an ordinary session does.
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(1) != 0) {
            ::_exit(10);
        }
        const auto found = ListenerEnumerator().enumerate();
        const auto* inventory = std::get_if<ListenerInventory>(&found);
        if (inventory == nullptr) {
            ::_exit(11);
        }
        const bool listed = std::any_of(inventory->listeners.cbegin(), inventory->listeners.cend(),
                                        [&](const Listener& listener) { return listener.port == theirs.port(); });
        const bool foreign = inventory->foreign.contains(ForeignPort{.port = theirs.port(), .userID = 65534});
        ::_exit(listed ? 12 : foreign ? 0 : 13);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Stops every listed record of `pid`, politely and by force, as a user clicking twice would.
void stopEveryRecordOf(const ListenerInventory& inventory, pid_t pid) {
    for (const Listener& listener : inventory.listeners) {
        if (listener.pid == pid && listener.identity) {
            (void)ProcessStopper::stop(*listener.identity, false);
            (void)ProcessStopper::stop(*listener.identity, true);
        }
    }
}

bool stillRunning(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
}

void endChild(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

// Inside a private pid namespace: the listener exits while it is being enumerated and its pid
// goes to an innocent process of the same user.
void recycleDuringEnumeration(bool kernel) {
    SpawnedListener listener = SpawnedListener::start({.commandName = u"node"_s});
    const pid_t pid = listener.pid();
    pid_t innocent = -1;
    const auto handOver = [&](ListenerEnumerator::Stage) {
        listener.kill();
        innocent = test::forkWithPid(pid);
    };
    const ListenerEnumerator enumerator =
        kernel ? test::withKernelDump(handOver) : test::withoutSocketDump(ListenerScan(), handOver);

    const ListenerInventory inventory = inventoryOf(enumerator.enumerate());

    ASSERT_EQ(innocent, pid) << "the pid was not handed on";
    EXPECT_TRUE(listenersOf(inventory, {pid}).isEmpty()) << "the newcomer does not listen";
    stopEveryRecordOf(inventory, pid);
    EXPECT_TRUE(stillRunning(innocent));
    endChild(innocent);
}

TEST(PrivatePidNamespaceTest, APidRecycledDuringEnumerationIsNeverSignalled) {
    if (!test::insidePidNamespace()) {
        if (!test::runningAsRoot()) {
            GTEST_SKIP() << "a private pid namespace and ns_last_pid need root";
        }
        test::expectPassesInPidNamespace(u"PrivatePidNamespaceTest.*"_s, true);
        return;
    }
    {
        SCOPED_TRACE("the kernel's dump");
        recycleDuringEnumeration(true);
    }
    {
        SCOPED_TRACE("the listing tool");
        recycleDuringEnumeration(false);
    }
}

TEST(HostProcNamespaceTest, AStopSignalsOnlyTheListedProcess) {
    if (!test::insidePidNamespace()) {
        if (!test::runningAsRoot()) {
            GTEST_SKIP() << "a pid namespace and ns_last_pid need root";
        }
        test::expectPassesInPidNamespace(u"HostProcNamespaceTest.*"_s, false);
        return;
    }
    // /proc is the host's: it numbers the listener differently from this namespace.
    SpawnedListener listener = SpawnedListener::start();
    const ListenerInventory inventory = inventoryOf(ListenerEnumerator().enumerate());
    const auto record = std::find_if(inventory.listeners.cbegin(), inventory.listeners.cend(),
                                     [&](const Listener& found) { return found.port == listener.port(); });
    ASSERT_NE(record, inventory.listeners.cend());
    ASSERT_NE(record->pid, listener.pid()) << "expected the host's numbering";
    // A bystander that holds, in this namespace, the number /proc gave the listener.
    const pid_t bystander = test::forkWithPid(record->pid);
    ASSERT_EQ(bystander, record->pid);

    EXPECT_EQ(ProcessStopper::stop(*record->identity, false), std::nullopt);

    EXPECT_EQ(listener.waitForEndingSignal(10s), SIGTERM);
    EXPECT_TRUE(stillRunning(bystander));
    endChild(bystander);
}

// /proc is the host's, and the listener lives outside the namespace: the kernel refuses the
// signal with a bare "invalid argument", which is said in words.
TEST(OutsideNamespaceTest, AProcessBeyondTheNamespaceIsRefusedInWords) {
    constexpr char kPort[] = "VANTU_TEST_OUTSIDE_PORT";
    if (!test::insidePidNamespace()) {
        if (!test::runningAsRoot()) {
            GTEST_SKIP() << "a pid namespace needs root";
        }
        SpawnedListener outside = SpawnedListener::start();
        qputenv(kPort, QByteArray::number(outside.port()));
        test::expectPassesInPidNamespace(u"OutsideNamespaceTest.*"_s, false);
        qunsetenv(kPort);
        EXPECT_EQ(outside.waitForEndingSignal(300ms), std::nullopt) << "the listener was left alone";
        return;
    }
    const auto port = static_cast<uint16_t>(qEnvironmentVariableIntValue(kPort));
    const ListenerInventory inventory = inventoryOf(ListenerEnumerator().enumerate());
    const auto record = std::find_if(inventory.listeners.cbegin(), inventory.listeners.cend(),
                                     [&](const Listener& found) { return found.port == port; });
    ASSERT_NE(record, inventory.listeners.cend());
    for (const bool force : {false, true}) {
        EXPECT_EQ(ProcessStopper::stop(*record->identity, force), PortServiceError::outsideNamespace());
    }
}

}  // namespace
}  // namespace vantu
