#include "store_fixture.h"

#include <QMetaObject>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

DiscoverySettings settingsOf(bool automatic, const QString& included, const QString& excluded) {
    auto created = DiscoverySettings::create(automatic, included, excluded);
    EXPECT_TRUE(std::holds_alternative<DiscoverySettings>(created));
    return std::get<DiscoverySettings>(created);
}

using RefreshTest = StoreFixture;

TEST_F(RefreshTest, ConstructionLoadsTheSettingsAndStartsNoScan) {
    settingsOf(false, u"3000-3005"_s, u"9229"_s).save(*settings);
    makeStore();
    drainEvents();
    EXPECT_TRUE(service->snapshots.empty());
    EXPECT_EQ(store->discoverySettings(), settingsOf(false, u"3000-3005"_s, u"9229"_s));
    EXPECT_TRUE(store->listeners().isEmpty());
    EXPECT_FALSE(store->isRefreshing());
    EXPECT_FALSE(store->hasSnapshot());
    EXPECT_FALSE(store->errorMessage().has_value());
    EXPECT_FALSE(store->showingDiscoverySettings());
    EXPECT_TRUE(stoppingProcesses(*store).isEmpty());
    EXPECT_TRUE(forcedProcesses(*store).isEmpty());

    // Settings that cannot be read say so on the error line, through the first refresh.
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("{\n\"discovery.automatic\": fals\n}");
    file.close();
    makeStoreOverFreshSettings();
    const QString damaged =
        u"Couldn’t read the settings (line 2); using the defaults. The file will be kept as vantu.json.damaged."_s;
    EXPECT_EQ(store->errorMessage(), damaged);
    refreshWith({devListener(4200001, 3000)});
    EXPECT_EQ(store->errorMessage(), damaged);
    refreshWith({devListener(4200001, 3000)});
    EXPECT_EQ(store->errorMessage(), std::nullopt);
}

TEST_F(RefreshTest, TheTaskStartsAfterRefreshReturnsAndEarlyRequestsAddNoPass) {
    makeStore();
    store->refresh();
    store->refresh();
    EXPECT_TRUE(service->snapshots.empty());
    EXPECT_FALSE(store->isRefreshing());

    ASSERT_TRUE(waitUntil([&] { return !service->snapshots.empty(); }));
    EXPECT_TRUE(store->isRefreshing());
    service->finishSnapshot(0, {devListener(4200001, 5173)});
    ASSERT_TRUE(waitUntil([&] { return passesEnded(1); }));
    drainEvents();

    EXPECT_EQ(service->snapshots.size(), 1U);
    EXPECT_EQ(layoutChanges, 1);
    EXPECT_FALSE(store->isRefreshing());
    EXPECT_TRUE(store->hasSnapshot());
    EXPECT_EQ(store->listeners(), QList<Listener>{devListener(4200001, 5173)});
}

TEST_F(RefreshTest, RequestsDuringAScanCollapseIntoOneFurtherPass) {
    makeStore();
    std::vector<bool> refreshingAtLayout;
    store->setOnLayoutChange([&] {
        ++layoutChanges;
        refreshingAtLayout.push_back(store->isRefreshing());
        service->events.append(u"layout"_s);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&] { service->events.append(u"next turn"_s); }, Qt::QueuedConnection);
    });

    store->refresh();
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 1; }));
    store->refresh();
    store->refresh();
    store->refresh();
    drainEvents();
    EXPECT_EQ(service->snapshots.size(), 1U) << "never two scans at once";

    service->finishSnapshot(0, {devListener(4200001, 5173)});
    ASSERT_TRUE(waitUntil([&] { return service->events.contains(u"next turn"_s); }));
    // The second pass starts in the same turn that ended the first.
    EXPECT_EQ(service->events, (QStringList{u"snapshot"_s, u"layout"_s, u"snapshot"_s, u"next turn"_s}));
    EXPECT_TRUE(store->isRefreshing());

    service->finishSnapshot(1, {devListener(4200001, 5173), devListener(4200002, 8000)});
    ASSERT_TRUE(waitUntil([&] { return passesEnded(2); }));
    drainEvents();
    EXPECT_EQ(service->snapshots.size(), 2U);
    EXPECT_EQ(refreshingAtLayout, (std::vector<bool>{false, false}));
    EXPECT_FALSE(store->isRefreshing());
    EXPECT_EQ(store->listeners().size(), 2);

    // Idle again: the next request starts a new task.
    store->refresh();
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 3; }));
}

TEST_F(RefreshTest, AFailedPassKeepsTheListAndShowsTheErrorUntilASuccess) {
    makeStore();
    refreshFailing(PortServiceError::scanTimedOut());
    EXPECT_FALSE(store->hasSnapshot());
    EXPECT_EQ(store->errorMessage(), u"Port scan timed out. Try refreshing."_s);
    EXPECT_FALSE(store->isRefreshing());

    const QList<Listener> shown{devListener(4200001, 3000), devListener(4200002, 5173)};
    refreshWith(shown);
    EXPECT_TRUE(store->hasSnapshot());
    EXPECT_FALSE(store->errorMessage().has_value());

    const ServiceError launch = LaunchError{u"execve: No such file or directory"_s};
    refreshFailing(launch);
    EXPECT_EQ(store->listeners(), shown);
    EXPECT_TRUE(store->hasSnapshot());
    EXPECT_EQ(store->errorMessage(), errorDescription(launch));

    refreshWith({devListener(4200002, 5173)});
    EXPECT_FALSE(store->errorMessage().has_value());
    EXPECT_EQ(store->listeners(), QList<Listener>{devListener(4200002, 5173)});
    EXPECT_EQ(layoutChanges, 4);
}

TEST_F(RefreshTest, AnAbandonedScanEndsThePassWithAnErrorLine) {
    makeStore();
    refreshWith({devListener(4200001, 3000)});
    store->refresh();
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 2; }));
    service->cancelOpenRequests();
    ASSERT_TRUE(waitUntil([&] { return passesEnded(2); }));
    EXPECT_FALSE(store->isRefreshing());
    EXPECT_TRUE(store->errorMessage().has_value());
    EXPECT_EQ(store->listeners().size(), 1);

    // The machinery is idle again, not stuck with a task that never ends.
    refreshWith({});
    EXPECT_TRUE(store->listeners().isEmpty());

    store->refresh();
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 4; }));
    service->throwFromSnapshot(3);
    ASSERT_TRUE(waitUntil([&] { return passesEnded(4); }));
    EXPECT_TRUE(store->errorMessage().has_value());
    refreshWith({});
    EXPECT_FALSE(store->errorMessage().has_value());
}

TEST_F(RefreshTest, OnlyTheUsersDevelopmentServersAreKeptInScanOrder) {
    makeStore();
    Listener withoutIdentity = devListener(4200003, 3001);
    withoutIdentity.identity.reset();
    Listener otherUser = devListener(4200004, 3002);
    otherUser.identity->userID = static_cast<uint32_t>(::getuid()) + 1;
    const Listener itself = devListener(static_cast<int32_t>(::getpid()), 3003);
    // Not a runtime, and no such process to find an executable for.
    const Listener systemService = devListener(4200005, 3004, u"cupsd"_s);

    refreshWith({devListener(4200001, 3000), withoutIdentity, otherUser, itself, systemService,
                 devListener(4200002, 5173, u"Python3.12"_s)});
    EXPECT_EQ(store->listeners(),
              (QList<Listener>{devListener(4200001, 3000), devListener(4200002, 5173, u"Python3.12"_s)}));
}

TEST_F(RefreshTest, SettingsChangedDuringAScanFilterItsResultAndRunOneMorePass) {
    makeStore();
    store->toggleDiscoverySettings();
    ASSERT_TRUE(store->showingDiscoverySettings());
    store->refresh();
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 1; }));

    const DiscoverySettings hide5173 = settingsOf(true, QString(), u"5173"_s);
    store->updateDiscoverySettings(hide5173);
    EXPECT_FALSE(store->showingDiscoverySettings());
    EXPECT_EQ(store->discoverySettings(), hide5173);
    EXPECT_EQ(layoutChanges, 2);
    EXPECT_EQ(DiscoverySettings::load(platform::SettingsStore(settingsPath())), hide5173);

    service->finishSnapshot(0, {devListener(4200001, 3000), devListener(4200002, 5173)});
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 2; }));
    EXPECT_EQ(store->listeners(), QList<Listener>{devListener(4200001, 3000)});
    EXPECT_EQ(service->snapshots[0].settings, DiscoverySettings::defaults());
    EXPECT_EQ(service->snapshots[1].settings, hide5173);

    service->finishSnapshot(1, {devListener(4200002, 5173)});
    ASSERT_TRUE(waitUntil([&] { return passesEnded(4); }));
    drainEvents();
    EXPECT_EQ(service->snapshots.size(), 2U);
    EXPECT_TRUE(store->listeners().isEmpty());
}

TEST_F(RefreshTest, UpdatingSettingsWhileIdleRefreshesWithThem) {
    makeStore();
    const DiscoverySettings onlyIncluded = settingsOf(false, u"4000"_s, QString());
    store->updateDiscoverySettings(onlyIncluded);
    EXPECT_EQ(layoutChanges, 1);
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 1; }));
    EXPECT_EQ(service->snapshots[0].settings, onlyIncluded);
    service->finishSnapshot(0, {devListener(4200001, 3000), devListener(4200002, 4000, u"cupsd"_s)});
    ASSERT_TRUE(waitUntil([&] { return passesEnded(2); }));
    // An explicit include shows any process of the user, whatever it runs.
    EXPECT_EQ(store->listeners(), QList<Listener>{devListener(4200002, 4000, u"cupsd"_s)});
}

TEST_F(RefreshTest, TogglingTwiceReturnsToTheListAndReportsBothLayouts) {
    makeStore();
    store->toggleDiscoverySettings();
    EXPECT_TRUE(store->showingDiscoverySettings());
    store->toggleDiscoverySettings();
    EXPECT_FALSE(store->showingDiscoverySettings());
    EXPECT_EQ(layoutChanges, 2);
    EXPECT_EQ(notifications, 2);
}

// Every published assignment notifies, before the value changes, even when the value stays
// the same: a field assigned silently would leave a view showing stale state.
TEST_F(RefreshTest, EveryPublishedAssignmentNotifiesFirst) {
    makeStore();
    std::vector<bool> refreshingWhenNotified;
    QObject::connect(store.get(), &PortStore::willChange,
                     [&] { refreshingWhenNotified.push_back(store->isRefreshing()); });

    // isRefreshing on; listeners, hasSnapshot, errorMessage, forceAvailable; isRefreshing off.
    refreshWith({devListener(4200001, 3000)});
    EXPECT_EQ(notifications, 6);
    EXPECT_EQ(refreshingWhenNotified, (std::vector<bool>{false, true, true, true, true, true}));

    // The same list again still notifies for every field.
    refreshWith({devListener(4200001, 3000)});
    EXPECT_EQ(notifications, 12);

    // isRefreshing on; errorMessage; isRefreshing off.
    refreshFailing(PortServiceError::scanFailed(u"lsof: boom"_s));
    EXPECT_EQ(notifications, 15);

    store->toggleDiscoverySettings();
    EXPECT_EQ(notifications, 16);
    store->updateDiscoverySettings(store->discoverySettings());
    EXPECT_EQ(notifications, 18);

    store->refresh();
    EXPECT_EQ(notifications, 18) << "a request changes no published field by itself";
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 4; }));
    service->finishSnapshot(3, {});
    ASSERT_TRUE(waitUntil([&] { return passesEnded(6); }));
    drainEvents();
    EXPECT_EQ(service->snapshots.size(), 4U);
}

}  // namespace
}  // namespace vantu::test
