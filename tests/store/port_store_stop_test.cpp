#include "store_fixture.h"

#include <QElapsedTimer>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

// One process on two ports, and another process.
class StopTest : public StoreFixture {
protected:
    void SetUp() override {
        makeStore();
        refreshWith({first, second, other});
        notifications = 0;
        layoutChanges = 0;
    }

    // Stops `listener`, lets the signal succeed, and waits for the stop's task to end.
    void stopSucceeding(const Listener& listener) {
        const size_t index = service->stops.size();
        store->stop(listener);
        ASSERT_TRUE(waitUntil([&] { return service->stops.size() > index; }));
        service->finishStop(index);
        ASSERT_TRUE(waitUntil([&] { return !stoppingProcesses(*store).contains(*listener.identity); }));
    }

    // Ends the refresh that a finished stop asked for with this list.
    void answerRefresh(const QList<Listener>& listeners) {
        const int layouts = layoutChanges;
        ASSERT_TRUE(waitUntil(
            [&] { return !service->snapshots.empty() && !service->snapshots.back().promise->future().isFinished(); }));
        service->finishSnapshot(service->snapshots.size() - 1, listeners);
        ASSERT_TRUE(waitUntil([&] { return layoutChanges > layouts; }));
    }

    const Listener first = devListener(4200101, 3000);
    const Listener second = devListener(4200101, 3001);
    const Listener other = devListener(4200202, 4000);
    const ProcessIdentity process = *first.identity;
};

TEST_F(StopTest, AListenerWithoutIdentityIsIgnored) {
    Listener unknown = first;
    unknown.identity.reset();
    store->stop(unknown);
    drainEvents();
    EXPECT_TRUE(service->stops.empty());
    EXPECT_TRUE(stoppingProcesses(*store).isEmpty());
    EXPECT_EQ(notifications, 0);
    EXPECT_EQ(layoutChanges, 0);
}

TEST_F(StopTest, BothRowsOfAProcessStopTogetherAndASecondRequestIsIgnored) {
    store->stop(first);
    EXPECT_TRUE(stoppingProcesses(*store).contains(*first.identity));
    EXPECT_TRUE(stoppingProcesses(*store).contains(*second.identity));
    EXPECT_FALSE(stoppingProcesses(*store).contains(*other.identity));
    EXPECT_EQ(layoutChanges, 1);
    EXPECT_EQ(notifications, 2);  // stopping, errorMessage

    store->stop(second);
    store->stop(first);
    EXPECT_EQ(notifications, 2);
    EXPECT_EQ(layoutChanges, 1);

    // Another process stops side by side.
    store->stop(other);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 2; }));
    drainEvents();
    ASSERT_EQ(service->stops.size(), 2U);
    EXPECT_EQ(service->stops[0].identity, process);
    EXPECT_FALSE(service->stops[0].force);
    EXPECT_EQ(service->stops[1].identity, *other.identity);
}

TEST_F(StopTest, APoliteStopOffersForceThenRefreshesAndTheNextStopIsForced) {
    service->events.clear();
    QObject::connect(store.get(), &PortStore::willChange, [this] { service->events.append(u"notify"_s); });
    store->stop(first);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    EXPECT_TRUE(forcedProcesses(*store).isEmpty());
    service->finishStop(0);

    // The offer, the end of the stopping state and the refresh request come together.
    ASSERT_TRUE(waitUntil([&] { return forcedProcesses(*store).contains(process); }));
    EXPECT_FALSE(stoppingProcesses(*store).contains(process));
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 2; }));
    EXPECT_EQ(layoutChanges, 1) << "only the acceptance; the refresh reports its own layout";
    // Accepted: stopping, errorMessage, layout. Signalled and waited: forceAvailable,
    // stopping. Then the refresh's pass: isRefreshing, and its scan.
    EXPECT_EQ(service->events, (QStringList{u"notify"_s, u"notify"_s, u"layout"_s, u"stop"_s, u"notify"_s, u"notify"_s,
                                            u"notify"_s, u"snapshot"_s}));

    // The process ignored the polite signal: it is still listed and keeps the offer.
    answerRefresh({first, second, other});
    EXPECT_TRUE(forcedProcesses(*store).contains(process));
    EXPECT_EQ(store->listeners().size(), 3);

    // The next stop, from either row of the process, is forced.
    store->stop(second);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 2; }));
    EXPECT_TRUE(service->stops[1].force);
    EXPECT_EQ(service->stops[1].identity, process);
    service->finishStop(1);
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 3; }));
    EXPECT_FALSE(stoppingProcesses(*store).contains(process));
    EXPECT_TRUE(forcedProcesses(*store).contains(process)) << "a forced stop leaves the offer to the refresh";

    answerRefresh({other});
    EXPECT_TRUE(forcedProcesses(*store).isEmpty());
    EXPECT_EQ(store->listeners(), QList<Listener>{other});
}

TEST_F(StopTest, AProcessThatExitsLosesItsRowsAndItsForceOffer) {
    stopSucceeding(first);
    EXPECT_TRUE(forcedProcesses(*store).contains(process));
    answerRefresh({other});
    EXPECT_TRUE(forcedProcesses(*store).isEmpty());
    EXPECT_EQ(store->listeners(), QList<Listener>{other});
}

TEST_F(StopTest, AProcessThatEndsWithinTheWaitLosesItsRowsAtOnceAndIsNeverOfferedForce) {
    service->exited.insert(process);
    stopSucceeding(first);
    EXPECT_EQ(service->exitWaitPorts, (std::vector<QList<uint16_t>>{{3000, 3001}}));
    // Gone before the refresh answers, with nothing to force.
    EXPECT_EQ(store->listeners(), QList<Listener>{other});
    EXPECT_TRUE(forcedProcesses(*store).isEmpty());
    EXPECT_EQ(store->errorMessage(), std::nullopt);
    answerRefresh({other});
    EXPECT_EQ(store->listeners(), QList<Listener>{other});
}

TEST_F(StopTest, AServerThatCameBackIsNamedInTheErrorLine) {
    service->exited.insert(process);
    service->takenAgain = u"Port 3000 was taken again by node (PID 4242), started by nodemon (PID 4100)."_s;
    stopSucceeding(first);
    EXPECT_EQ(store->errorMessage(), service->takenAgain);
    const Listener restarted = devListener(4242, 3000);
    answerRefresh({restarted, other});
    EXPECT_EQ(store->listeners(), (QList<Listener>{restarted, other}));
    EXPECT_EQ(store->errorMessage(), service->takenAgain) << "the refresh it asked for keeps it in sight";
}

TEST_F(StopTest, AProcessThatHadAlreadyEndedLosesItsRowsWithoutAnErrorLine) {
    store->stop(first);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    service->failStop(0, PortServiceError::processExited());
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
    EXPECT_EQ(store->errorMessage(), std::nullopt);
    EXPECT_EQ(store->listeners(), QList<Listener>{other});
    EXPECT_TRUE(forcedProcesses(*store).isEmpty());
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 2; })) << "a refresh still follows";
}

TEST_F(StopTest, OnlySuccessfulRefreshesWithdrawForceOffers) {
    stopSucceeding(first);
    answerRefresh({first, second, other});
    stopSucceeding(other);
    answerRefresh({first, second, other});
    ASSERT_EQ(forcedProcesses(*store), (QSet<ProcessIdentity>{process, *other.identity}));

    refreshFailing(PortServiceError::scanTimedOut());
    EXPECT_EQ(forcedProcesses(*store), (QSet<ProcessIdentity>{process, *other.identity}));

    // The pid now names a newer process: a different identity, so the offer goes.
    Listener restarted = other;
    restarted.identity->startSeconds += 5;
    refreshWith({first, restarted});
    EXPECT_EQ(forcedProcesses(*store), QSet<ProcessIdentity>{process});
}

TEST_F(StopTest, AFailedStopShowsItsMessageAndRequestsNoRefresh) {
    store->stop(first);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    service->failStop(0, PortServiceError::processChanged());
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
    EXPECT_EQ(store->errorMessage(), u"This process has exited or changed. Refresh and try again."_s);
    EXPECT_EQ(layoutChanges, 2);
    EXPECT_EQ(notifications, 4);  // stopping, errorMessage; errorMessage, stopping
    EXPECT_TRUE(forcedProcesses(*store).isEmpty()) << "a failed polite stop offers no force";
    drainEvents();
    EXPECT_EQ(service->snapshots.size(), 1U);
    EXPECT_EQ(store->listeners().size(), 3);
}

TEST_F(StopTest, AFailedForcedStopKeepsTheForceOffer) {
    stopSucceeding(first);
    answerRefresh({first, second, other});
    store->stop(first);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 2; }));
    ASSERT_TRUE(service->stops[1].force);
    service->failStop(1, PortServiceError::protectedProcess());
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
    EXPECT_EQ(store->errorMessage(), u"Only your own processes can be stopped."_s);
    EXPECT_TRUE(forcedProcesses(*store).contains(process));
}

TEST_F(StopTest, AnAbandonedStopEndsTheStoppingStateWithAnErrorLine) {
    store->stop(first);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    service->cancelOpenRequests();
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
    EXPECT_TRUE(store->errorMessage().has_value());
    EXPECT_TRUE(forcedProcesses(*store).isEmpty());
    store->stop(first);
    EXPECT_TRUE(stoppingProcesses(*store).contains(process)) << "the process can be stopped again";
}

TEST_F(StopTest, AcceptingAStopClearsAnEarlierError) {
    refreshFailing(PortServiceError::scanTimedOut());
    ASSERT_TRUE(store->errorMessage().has_value());
    const int layouts = layoutChanges;
    store->stop(first);
    EXPECT_FALSE(store->errorMessage().has_value());
    EXPECT_EQ(layoutChanges, layouts + 1);
}

TEST_F(StopTest, AStoreDestroyedMidwayLeavesItsTasksHarmless) {
    store->stop(first);
    store->stop(other);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 2; }));
    service->finishStop(0);
    store->refresh();
    drainEvents();
    destroyStore();
    service->finishStop(1);
    drainEvents();
    // The wait after the first stop ends with nobody to tell.
    QTest::qWait(100);
    EXPECT_EQ(service->snapshots.size(), 2U);
}

// Two servers under one parent, as `concurrently` runs them.
class GroupStopTest : public StopTest {
protected:
    void SetUp() override {
        StopTest::SetUp();
        session.leaderPid = 4200300;
        session.leaderCommand = u"concurrently vite api"_s;
        session.members = {identityOf(4200300), *vite.identity, *api.identity};
        vite.group = session;
        api.group = session;
        refreshWith({vite, api, other});
    }

    // Starts a stop of the group from `row` and answers it with `result`.
    void stopGroup(const Listener& row, const FakePortService::GroupStopResult& result) {
        const size_t index = service->groupStops.size();
        store->stopGroup(row);
        ASSERT_TRUE(waitUntil([&] { return service->groupStops.size() > index; }));
        service->finishGroupStop(index, result);
    }

    ProcessGroup session;
    Listener vite = devListener(4200301, 5173);
    Listener api = devListener(4200302, 3000);
};

TEST_F(GroupStopTest, AGroupThatOutlivesItsInterruptIsOfferedForceForWhatIsLeft) {
    service->exited.insert(session.members[0]);
    service->exited.insert(*vite.identity);
    stopGroup(vite, session);
    EXPECT_FALSE(service->groupStops[0].force);
    EXPECT_EQ(service->groupStops[0].group, session);

    // The parent and vite ended; api did not, and its row offers force for it alone.
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
    EXPECT_EQ(service->exitWaitPorts.back(), (QList<uint16_t>{5173, 3000}));
    EXPECT_EQ(store->listeners(), (QList<Listener>{api, other}));
    EXPECT_EQ(forcedProcesses(*store), QSet<ProcessIdentity>{*api.identity});
    ASSERT_TRUE(groupsToForce(*store).contains(*api.identity));
    EXPECT_EQ(groupsToForce(*store)[*api.identity].members, QList<ProcessIdentity>{*api.identity});
    answerRefresh({api, other});
    EXPECT_TRUE(groupsToForce(*store).contains(*api.identity)) << "kept while the process is listed";

    // Force on the row goes to what is left of the group.
    service->exited.insert(*api.identity);
    const size_t stops = service->stops.size();
    store->stop(api);
    ASSERT_TRUE(waitUntil([&] { return service->groupStops.size() == 2; }));
    EXPECT_TRUE(service->groupStops[1].force);
    EXPECT_EQ(service->stops.size(), stops) << "no single stop is sent";
    ProcessGroup rest = session;
    rest.members = {*api.identity};
    service->finishGroupStop(1, rest);
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
    EXPECT_EQ(store->listeners(), QList<Listener>{other});
    EXPECT_TRUE(forcedProcesses(*store).isEmpty());
    EXPECT_TRUE(groupsToForce(*store).isEmpty());
}

TEST_F(GroupStopTest, WhatTheGroupStopAndTheUnitStopEndInIsShown) {
    struct Case {
        const char* what;
        std::function<void()> act;
        std::optional<QString> error;
        QList<Listener> listed;
    };
    api.group->unit = u"api.service"_s;
    const QString shell =
        u"This group of processes includes the shell of a terminal (bash, PID 12); stop the "
        u"server alone instead."_s;
    const Case cases[] = {
        {"refused", [&] { stopGroup(vite, PortServiceError::refused(shell)); }, shell, {vite, api, other}},
        {"already gone", [&] { stopGroup(api, PortServiceError::processExited()); }, std::nullopt, {other}},
        {"the unit would not stop",
         [&] {
             service->unitStopFailure = u"Couldn’t stop api.service: Unit api.service not loaded."_s;
             store->stopUnit(api);
         },
         u"Couldn’t stop api.service: Unit api.service not loaded."_s,
         {vite, api, other}},
        {"the unit stopped",
         [&] {
             service->unitStopFailure.reset();
             service->exited.unite(QSet<ProcessIdentity>(session.members.cbegin(), session.members.cend()));
             store->stopUnit(api);
         },
         u"Stopped api.service — ports 3000, 5173 are free."_s,
         {other}},
        {"the group stopped",
         [&] { stopGroup(vite, session); },
         u"Stopped concurrently vite api — ports 3000, 5173 are free."_s,
         {other}},
    };
    for (const Case& c : cases) {
        refreshWith({vite, api, other});
        c.act();
        ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); })) << c.what;
        EXPECT_EQ(store->errorMessage(), c.error) << c.what;
        EXPECT_EQ(store->listeners(), c.listed) << c.what;
    }
    EXPECT_EQ(service->unitStops, (QStringList{u"api.service"_s, u"api.service"_s}));
}

// With the app's own waits: the offer never comes before the polite wait has passed, nor
// the refresh after a forced stop before its shorter wait.
TEST_F(StopTest, TheRealWaitsComeBetweenTheSignalAndWhatFollows) {
    makeStore(StopDelays{});

    store->stop(first);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    QElapsedTimer clock;
    clock.start();
    service->finishStop(0);
    ASSERT_TRUE(waitUntil([&] { return forcedProcesses(*store).contains(process); }));
    EXPECT_GE(clock.elapsed(), 1190);
    answerRefresh({first, other});
    ASSERT_EQ(store->listeners().size(), 2);

    const size_t scans = service->snapshots.size();
    store->stop(first);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 2; }));
    ASSERT_TRUE(service->stops[1].force);
    clock.restart();
    service->finishStop(1);
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() > scans; }));
    EXPECT_GE(clock.elapsed(), 240);
}

}  // namespace
}  // namespace vantu::test
