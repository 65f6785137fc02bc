#include "store_fixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

using PopoverHeightTest = StoreFixture;

QList<Listener> rows(int count) {
    QList<Listener> listeners;
    for (int row = 0; row < count; ++row) {
        listeners.append(devListener(4200400 + row, static_cast<uint16_t>(3000 + row)));
    }
    return listeners;
}

TEST_F(PopoverHeightTest, FollowsRowsSettingsPanelAndErrorLine) {
    makeStore();
    EXPECT_EQ(store->bodyHeight(), 92);
    EXPECT_EQ(store->popoverHeight(), 164);

    struct Case {
        int rows;
        double body;
        double popover;
        double withError;
    };
    const Case cases[] = {
        {0, 92, 164, 216},  {1, 62, 134, 186},  {2, 108, 180, 232}, {3, 154, 226, 278},  {4, 200, 272, 324},
        {5, 246, 318, 370}, {6, 292, 364, 416}, {7, 300, 372, 424}, {12, 300, 372, 424},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rows);
        refreshWith(rows(c.rows));
        EXPECT_EQ(store->bodyHeight(), c.body);
        EXPECT_EQ(store->popoverHeight(), c.popover);

        // A failed refresh keeps the rows and adds the error line.
        refreshFailing(PortServiceError::scanTimedOut());
        EXPECT_EQ(store->bodyHeight(), c.body);
        EXPECT_EQ(store->popoverHeight(), c.withError);

        store->toggleDiscoverySettings();
        EXPECT_EQ(store->bodyHeight(), 274);
        EXPECT_EQ(store->popoverHeight(), 398);
        store->toggleDiscoverySettings();
    }

    refreshWith(rows(9));
    store->toggleDiscoverySettings();
    EXPECT_EQ(store->popoverHeight(), 346) << "the panel is shorter than a full list";
}

// The hook is called when a height may change and at no other time: the stopping and force
// sets change no height, and the override operations leave it to their refresh.
TEST_F(PopoverHeightTest, LayoutIsReportedAtExactlyItsMoments) {
    makeStore();
    refreshWith(rows(2));
    EXPECT_EQ(layoutChanges, 1);

    const Listener row = rows(1).front();
    store->stop(row);
    EXPECT_EQ(layoutChanges, 2);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    service->finishStop(0);
    ASSERT_TRUE(waitUntil([&] { return forcedProcesses(*store).contains(*row.identity); }));
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 2; }));
    EXPECT_EQ(layoutChanges, 2);
    service->finishSnapshot(1, rows(2));
    ASSERT_TRUE(waitUntil([&] { return layoutChanges == 3; }));

    Listener pinned = rows(1).front();
    pinned.workingDirectory = u"/home/a/site"_s;
    store->resetProjectFolder(pinned);
    EXPECT_EQ(layoutChanges, 3);
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 3; }));
    service->finishSnapshot(2, rows(2));
    ASSERT_TRUE(waitUntil([&] { return layoutChanges == 4; }));

    store->stop(row);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 2; }));
    service->failStop(1, PortServiceError::signalFailed(1));
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
    EXPECT_EQ(layoutChanges, 6);  // accepted, failed
    EXPECT_TRUE(store->errorMessage()->startsWith(u"Couldn’t stop process: "_s));
    EXPECT_EQ(store->popoverHeight(), 180 + 52);
}

// Rows that go at once after a stop, and a sentence kept through a refresh, change the height
// before the refresh ends: the hook hears of it then, with the new height.
TEST_F(PopoverHeightTest, HeightsThatChangeBeforeTheRefreshAreReported) {
    makeStore();
    refreshWith(rows(3));
    double reported = 0;
    store->setOnLayoutChange([&] {
        ++layoutChanges;
        reported = store->popoverHeight();
    });
    const Listener row = rows(1).front();
    service->exited.insert(*row.identity);
    store->stop(row);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    service->finishStop(0);
    ASSERT_TRUE(waitUntil([&] { return store->listeners().size() == 2; }));
    EXPECT_EQ(reported, store->popoverHeight()) << "the row went before the refresh answered";

    // Where the settings folder should be, a plain file: the choice cannot be saved.
    const QString folder = QFileInfo(settingsPath()).absolutePath();
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Listener pinned = rows(1).back();
    pinned.workingDirectory = u"/home/a/site"_s;
    store->resetProjectFolder(pinned);
    ASSERT_TRUE(store->errorMessage().has_value());
    EXPECT_EQ(reported, store->popoverHeight()) << "the error line came before the refresh";
    QFile::remove(folder);
}

}  // namespace
}  // namespace vantu::test
