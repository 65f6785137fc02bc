#include "fake_tools.h"
#include "platform/settings_store.h"
#include "popover_fixture.h"
#include "store/list_geometry.h"
#include "ui/appearance.h"
#include "ui/desktop_services.h"
#include "ui/discovery_preferences_view.h"
#include "ui/elided_label.h"
#include "ui/plain_button.h"
#include "ui/port_row.h"
#include "ui/spinner.h"
#include "ui/status_panel.h"
#include "ui/stop_button.h"
#include "ui_test_support.h"
#include "web_server.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QEnterEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <QTranslator>
#include <algorithm>
#include <iostream>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

using Content = PopoverView::Content;

class PopoverViewTest : public PopoverFixture {
protected:
    StatusPanel* statusPanel() { return view->findChild<StatusPanel*>(u"statusPanel"_s); }
    QString footerText() { return view->findChild<ElidedLabel*>(u"count"_s)->text(); }
    QWidget* errorLine() { return view->findChild<QWidget*>(u"errorLine"_s); }
    ElidedLabel* errorText() { return view->findChild<ElidedLabel*>(u"errorText"_s); }
    Spinner* headerSpinner() { return view->findChild<Spinner*>(u"refreshSpinner"_s); }
    DiscoveryPreferencesView* preferences() {
        return view->findChild<DiscoveryPreferencesView*>(u"discoveryPreferences"_s);
    }
    // The height the view's fixed parts add up to: must be what the store sizes the popover to.
    int naturalHeight() { return view->layout()->sizeHint().height(); }

    QList<Listener> threeListeners() {
        return {projectListener(4312, 3000, u"node"_s, u"web-shop"_s),
                projectListener(4400, 5173, u"node"_s, u"docs-site"_s), ownListener(5120, 8000, u"python3"_s)};
    }
};

TEST_F(PopoverViewTest, BeforeTheFirstScan) {
    EXPECT_EQ(view->content(), Content::status);
    EXPECT_EQ(statusPanel()->symbol(), Symbol::checkmarkCircle);
    EXPECT_EQ(statusPanel()->text(), u"No matching dev servers"_s);
    EXPECT_EQ(footerText(), u"Development ports"_s);
    EXPECT_FALSE(view->findChild<QWidget*>(u"errorLine"_s)->isVisibleTo(view.get()));
    EXPECT_EQ(naturalHeight(), static_cast<int>(store->popoverHeight()));
}

TEST_F(PopoverViewTest, ScanningShowsTheNetworkSymbolAndTheSpinner) {
    view->show();
    startRefresh();
    EXPECT_EQ(view->content(), Content::status);
    EXPECT_EQ(statusPanel()->symbol(), Symbol::network);
    EXPECT_EQ(statusPanel()->text(), QString::fromUtf8("Scanning dev ports\xE2\x80\xA6"));
    EXPECT_TRUE(headerSpinner()->isVisible());
    EXPECT_TRUE(headerSpinner()->isAnimating());
    EXPECT_EQ(headerSpinner()->accessibleName(), u"Refreshing ports"_s);
    EXPECT_EQ(footerText(), u"Development ports"_s);
    service->finishSnapshot(0, {});
    ASSERT_TRUE(waitUntil([&] { return !headerSpinner()->isVisible(); }));
    EXPECT_FALSE(headerSpinner()->isAnimating());
}

TEST_F(PopoverViewTest, FailedFirstScanShowsPortsUnavailableAndTheErrorLine) {
    refreshFailing(u"lsof: no such file"_s);
    EXPECT_EQ(view->content(), Content::status);
    EXPECT_EQ(statusPanel()->symbol(), Symbol::exclamationmarkTriangle);
    EXPECT_EQ(statusPanel()->text(), u"Ports unavailable"_s);
    EXPECT_TRUE(errorLine()->isVisibleTo(view.get()));
    EXPECT_EQ(errorText()->text(), QString::fromUtf8("Couldn\xE2\x80\x99t read listening ports. lsof: no such file"));
    EXPECT_EQ(footerText(), u"Development ports"_s);
    EXPECT_EQ(naturalHeight(), static_cast<int>(store->popoverHeight()));
}

TEST_F(PopoverViewTest, FooterCountsTheListeners) {
    refreshWith({});
    EXPECT_EQ(statusPanel()->text(), u"No matching dev servers"_s);
    EXPECT_EQ(footerText(), u"0 dev ports"_s);
    refreshWith({ownListener(4312, 3000, u"node"_s)});
    EXPECT_EQ(footerText(), u"1 dev port"_s);
    refreshWith({ownListener(4312, 3000, u"node"_s), ownListener(4313, 3001, u"node"_s)});
    EXPECT_EQ(footerText(), u"2 dev ports"_s);
}

TEST_F(PopoverViewTest, ListScrollsFromTheSeventhRow) {
    QList<Listener> listeners;
    for (int i = 0; i < 7; ++i) {
        listeners.append(ownListener(4300 + i, static_cast<uint16_t>(3000 + i), u"node"_s));
    }
    for (const qsizetype count : {1, 6, 7}) {
        refreshWith(listeners.mid(0, count));
        EXPECT_EQ(view->rows().size(), count);
        const bool scrolls = count == 7;
        EXPECT_EQ(view->content(), scrolls ? Content::scrollingList : Content::list) << count;
        const int expected = static_cast<int>(scrolls ? ListGeometry::ceiling : store->bodyHeight());
        EXPECT_EQ(view->findChild<QWidget*>(u"content"_s)->minimumHeight(), expected) << count;
        EXPECT_EQ(naturalHeight(), static_cast<int>(store->popoverHeight())) << count;
    }
}

TEST_F(PopoverViewTest, ErrorLineIsCutAtThreeLinesWithTheWholeMessageInItsTooltip) {
    refreshWith(threeListeners());
    const QString detail = u"lsof: "_s + QString(u"the listing tool printed far too much to fit "_s).repeated(6);
    refreshFailing(detail);
    view->resize(view->width(), naturalHeight());
    view->show();
    ASSERT_TRUE(waitUntil([&] { return errorText()->width() > 0; }));
    const QString message = store->errorMessage().value();
    EXPECT_EQ(errorText()->visibleLines().size(), 3);
    EXPECT_TRUE(errorText()->isElided());
    EXPECT_TRUE(errorText()->visibleLines().back().endsWith(QChar(0x2026)));
    EXPECT_EQ(test::shownText(errorLine()->toolTip()), message);
    EXPECT_EQ(errorLine()->accessibleName(), message);
    // The list from the last successful scan stays above the error.
    EXPECT_EQ(view->content(), Content::list);
    EXPECT_EQ(view->rows().size(), 3);
    EXPECT_EQ(naturalHeight(), static_cast<int>(store->popoverHeight()));
    test::saveScreenshot(*view, u"popover-error-light"_s);
}

TEST_F(PopoverViewTest, RowsReflectStoppingAndForceState) {
    refreshWith({ownListener(4312, 3000, u"node"_s), ownListener(6000, 9000, u"node"_s)});
    ASSERT_EQ(view->rows().size(), 2);
    PortRow* row = view->rows().front();

    QTest::mouseClick(row->actionButton(), Qt::LeftButton);  // hidden: takes no click
    EXPECT_TRUE(service->stops.empty());
    row->performAction();
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    EXPECT_FALSE(service->stops[0].force);
    settle();
    EXPECT_EQ(row->slot(), PortRow::Slot::spinner);
    EXPECT_FALSE(view->rows()[1]->isStopping());

    // The polite stop went out; after its wait the store offers the forced kill.
    service->finishStop(0);
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 2; }));
    settle();
    EXPECT_EQ(view->rows().front(), row) << "the row survives, keyed by its listener";
    EXPECT_TRUE(row->canForce());
    EXPECT_EQ(row->slot(), PortRow::Slot::actionButton);
    EXPECT_EQ(row->actionButton()->text(), u"Force"_s);
    EXPECT_EQ(row->findChild<ElidedLabel*>(u"detail"_s)->text(), u"Still running after SIGTERM"_s) << "Force says why";
    EXPECT_TRUE(row->actionButton()->isOutlined()) << "Force does not look like Stop";
    EXPECT_FALSE(view->rows()[1]->canForce());
    EXPECT_FALSE(view->rows()[1]->actionButton()->isOutlined());
    EXPECT_EQ(view->rows()[1]->slot(), PortRow::Slot::actionButton);

    QTest::mouseClick(row->actionButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 2; }));
    EXPECT_TRUE(service->stops[1].force);
}

// Stop a server, keep the pointer still, and let the refresh take its row away: the next row
// slides under the pointer, and a click meant for the stopped row must not stop it.
TEST_F(PopoverViewTest, AButtonThatSlidUnderAStillPointerIsNotArmed) {
    view->show();
    const QList<Listener> listeners = threeListeners();
    refreshWith(listeners);
    PortRow* target = view->rows()[0];
    PortRow* next = view->rows()[1];
    // The pointer comes onto the row, which shows its button, and then onto the button.
    QTest::mouseMove(target, target->rect().center());
    settle();
    const QPoint aim = target->actionButton()->rect().center();
    QTest::mouseMove(target->actionButton(), aim);
    QTest::mouseClick(target->actionButton(), Qt::LeftButton, {}, aim);
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 1; }));
    EXPECT_EQ(service->stops[0].identity, *listeners[0].identity);
    EXPECT_TRUE(target->hasFocus()) << "focus went to the row, off its button";

    refreshWith({listeners[1], listeners[2]});
    ASSERT_EQ(view->rows().front(), next);
    ASSERT_TRUE(next->rect().contains(next->mapFromGlobal(QCursor::pos()))) << "the next row is under the pointer";
    EXPECT_FALSE(next->isArmed());
    QTest::mouseClick(next->actionButton(), Qt::LeftButton, {}, aim);
    settle();
    EXPECT_EQ(service->stops.size(), 1U) << "the click was aimed at the row that went away";

    // Once the pointer moves, the user sees what is under it.
    QTest::mouseMove(next->actionButton(), aim + QPoint(3, 0));
    settle();
    EXPECT_TRUE(next->isArmed());
    QTest::mouseClick(next->actionButton(), Qt::LeftButton, {}, aim + QPoint(3, 0));
    ASSERT_TRUE(waitUntil([&] { return service->stops.size() == 2; }));
    EXPECT_EQ(service->stops[1].identity, *listeners[1].identity);
}

TEST_F(PopoverViewTest, TheListFollowsTheSocketsOnlyWhileShown) {
    EXPECT_FALSE(view->isWatchingSockets());
    view->show();
    EXPECT_TRUE(view->isWatchingSockets());
    service->socketSignature = 1;
    store->refreshIfSocketsChanged();
    ASSERT_TRUE(waitUntil([&] { return service->socketChecks == 1; }));
    settle();
    EXPECT_TRUE(service->snapshots.empty()) << "the first look only learns the sockets";
    service->socketSignature = 2;
    store->refreshIfSocketsChanged();
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 1; })) << "a new socket refreshes the list";
    service->finishSnapshot(0, {});
    settle();
    // A look on its way when the popover closes refreshes nothing, whatever it finds.
    const auto held = std::make_shared<QPromise<std::optional<uint64_t>>>();
    service->heldSocketCheck = held;
    store->refreshIfSocketsChanged();
    view->hide();
    EXPECT_FALSE(view->isWatchingSockets()) << "nothing runs while hidden";
    held->addResult(std::optional<uint64_t>(3));
    held->finish();
    settle();
    EXPECT_EQ(service->snapshots.size(), 1U);
}

TEST_F(PopoverViewTest, RowsKeepHoverAcrossUpdatesAndFollowTheStoreOrder) {
    view->show();
    // The pointer rests on the header, away from every row.
    QTest::mouseMove(view.get(), QPoint(view->width() / 2, 4));
    refreshWith(
        {ownListener(4312, 3000, u"node"_s), ownListener(4400, 5173, u"node"_s), ownListener(4500, 8000, u"node"_s)});
    PortRow* second = view->rows()[1];
    QTest::mouseMove(second, second->rect().center());
    settle();
    ASSERT_TRUE(second->isHovered());
    // A row arrives above: the rows slide under the still pointer, and the hover goes with it.
    refreshWith(
        {ownListener(4100, 2000, u"node"_s), ownListener(4312, 3000, u"node"_s), ownListener(4400, 5173, u"node"_s)});
    ASSERT_EQ(view->rows().size(), 3);
    EXPECT_EQ(view->rows()[2], second);
    EXPECT_FALSE(second->isHovered());
    EXPECT_TRUE(view->rows()[1]->isHovered());
    EXPECT_EQ(view->rows()[0]->listener().port, 2000);
    // The layout shows them in that order too.
    EXPECT_LT(view->rows()[0]->y(), view->rows()[1]->y());
    EXPECT_LT(view->rows()[1]->y(), second->y());

    // A restarted server on the same port is a new process: a new row.
    Listener restarted = ownListener(4400, 5173, u"node"_s);
    restarted.identity->startSeconds += 10;
    refreshWith({restarted});
    ASSERT_EQ(view->rows().size(), 1);
    EXPECT_FALSE(view->rows()[0]->isHovered());
}

TEST_F(PopoverViewTest, ContextMenuOffersFolderChoices) {
    Listener withoutFolder = ownListener(4312, 3000, u"node"_s);
    Listener detected = projectListener(4400, 5173, u"node"_s, u"docs-site"_s);
    Listener chosen = detected;
    chosen.project->isUserSelected = true;

    // Opening the server, copying its address and showing its folder come first.
    std::unique_ptr<QMenu> menu(view->buildContextMenu(withoutFolder, nullptr));
    ASSERT_EQ(menu->actions().size(), 5);
    EXPECT_EQ(menu->actions()[0]->text(), u"Open in Browser"_s);
    EXPECT_EQ(menu->actions()[1]->text(), u"Copy Address"_s);
    EXPECT_FALSE(menu->actions()[2]->isEnabled()) << "no folder to show";
    EXPECT_EQ(menu->actions()[4]->text(), QString::fromUtf8("Choose Project Folder\xE2\x80\xA6"));
    EXPECT_FALSE(menu->actions()[4]->isEnabled());

    menu.reset(view->buildContextMenu(detected, nullptr));
    EXPECT_TRUE(menu->actions()[2]->isEnabled());
    EXPECT_TRUE(menu->actions()[4]->isEnabled());
    menu->actions()[4]->trigger();
    ASSERT_EQ(chooserCalls.size(), 1U);
    EXPECT_EQ(chooserCalls[0].request.title, u"Choose Project Folder"_s);
    EXPECT_EQ(chooserCalls[0].request.message, u"Use this folder to identify node on port 5173."_s);

    menu.reset(view->buildContextMenu(chosen, nullptr));
    ASSERT_EQ(menu->actions().size(), 6);
    EXPECT_EQ(menu->actions()[5]->text(), u"Use Detected Project"_s);
    const size_t scans = service->snapshots.size();
    menu->actions()[5]->trigger();
    EXPECT_TRUE(waitUntil([&] { return service->snapshots.size() > scans; })) << "a reset refreshes";
}

// Records what the desktop was asked to open, as a browser or a file manager would receive it.
class OpenedUrls : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public Q_SLOTS:
    void open(const QUrl& url) { urls.append(url); }
};

// The row's menu hands a real TLS server's https address to the browser and the clipboard, and
// its folder to the file manager on the session bus, or opens the folder where none answers;
// with nothing to open a URL, the error line says so.
TEST_F(PopoverViewTest, TheRowMenuOpensCopiesAndShowsThroughTheDesktop) {
    const QString site = folder.path();
    WebServer tls(WebServer::Kind::tls, u"127.0.0.1"_s, 0, site);
    ASSERT_NE(tls.port(), 0) << tls.errors().toStdString();
    Listener secure = projectListener(tls.pid(), tls.port(), u"python3"_s, u"secure-site"_s);
    secure.addresses = {u"127.0.0.1"_s};
    secure.project->directory = site;
    const QUrl secureUrl(u"https://localhost:%1/"_s.arg(tls.port()));
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(u"https"_s, &opened, "open");
    QDesktopServices::setUrlHandler(u"file"_s, &opened, "open");
    store->setDesktop(desktopServices());
    std::unique_ptr<QMenu> menu(view->buildContextMenu(secure, nullptr));
    const auto choose = [&](int index, qsizetype seen) {
        menu->actions()[index]->trigger();
        return waitUntil([&] { return opened.urls.size() == seen; });
    };
    ASSERT_TRUE(choose(0, 1));
    EXPECT_EQ(opened.urls[0], secureUrl);
    menu->actions()[1]->trigger();
    EXPECT_TRUE(waitUntil([&] { return QGuiApplication::clipboard()->text() == secureUrl.toString(); }));

    QProcess bus;
    bus.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--nopidfile"_s, u"--print-address=1"_s});
    ASSERT_TRUE(bus.waitForReadyRead(10000)) << bus.readAllStandardError().toStdString();
    ScopedEnvironment environment;
    const QByteArray address = bus.readLine().trimmed();
    environment.set("DBUS_SESSION_BUS_ADDRESS", address);
    QFile shown(site + u"/shown"_s);
    QProcess fileManager;
    fileManager.start(u"/usr/bin/python3"_s,
                      {QStringLiteral(VANTU_TEST_SUPPORT_DIR "/file_manager_standin.py"), shown.fileName()});
    ASSERT_TRUE(fileManager.waitForReadyRead(10000)) << fileManager.readAllStandardError().toStdString();
    menu->actions()[2]->trigger();
    ASSERT_TRUE(waitUntil([&] { return shown.size() > 0; }));
    ASSERT_TRUE(shown.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(shown.readAll()), QUrl::fromLocalFile(site).toString() + u'\n');
    fileManager.kill();
    fileManager.waitForFinished();
    {
        // The bus lets go of the name once it has seen the stand-in go; a call that reached it
        // before would wait for an answer that never comes.
        QDBusConnection probe = QDBusConnection::connectToBus(QString::fromUtf8(address), u"probe"_s);
        ASSERT_TRUE(waitUntil(
            [&] { return !probe.interface()->isServiceRegistered(u"org.freedesktop.FileManager1"_s).value(); }));
    }
    QDBusConnection::disconnectFromBus(u"probe"_s);
    ASSERT_TRUE(choose(2, 2)) << "without a file manager the folder is opened";
    EXPECT_EQ(opened.urls[1], QUrl::fromLocalFile(site));

    QDesktopServices::unsetUrlHandler(u"https"_s);
    QDesktopServices::unsetUrlHandler(u"file"_s);
    menu->actions()[0]->trigger();
    ASSERT_TRUE(waitUntil([&] { return store->errorMessage().has_value(); }));
    EXPECT_EQ(*store->errorMessage(), u"Couldn’t open %1: no browser could be started."_s.arg(secureUrl.toString()));
    bus.kill();
    bus.waitForFinished();
}

TEST_F(PopoverViewTest, ContextMenuOffersToStopTheWholeGroupOrItsUnit) {
    Listener alone = projectListener(1203, 5173, u"node"_s, u"docs-site"_s);
    alone.group = ProcessGroup{.leaderPid = 1203, .leaderCommand = u"node server.js"_s, .members = {*alone.identity}};
    Listener started = alone;
    started.group->leaderPid = 1200;
    started.group->leaderCommand = u"npm run dev"_s;
    started.group->members = {ProcessIdentity{1200, alone.identity->userID, 1, 0},
                              ProcessIdentity{1201, alone.identity->userID, 1, 0},
                              ProcessIdentity{1202, alone.identity->userID, 1, 0}, *alone.identity};
    Listener inUnit = started;
    inUnit.group->unit = u"api.service"_s;

    const auto stopItem = [&](const Listener& listener) {
        std::unique_ptr<QMenu> menu(view->buildContextMenu(listener, nullptr));
        QAction* item = menu->findChild<QAction*>(u"stopGroup"_s);
        item = item != nullptr ? item : menu->findChild<QAction*>(u"stopUnit"_s);
        const QString text = item != nullptr ? item->text() : QString();
        if (item != nullptr) {
            item->trigger();
        }
        return text;
    };
    // A group that serves two shown ports names both.
    Listener secondPort = started;
    secondPort.pid = 1202;
    secondPort.port = 8081;
    secondPort.identity = started.group->members[2];
    refreshWith({started, secondPort});
    const std::unique_ptr<QMenu> both(view->buildContextMenu(started, nullptr));
    EXPECT_EQ(both->findChild<QAction*>(u"stopGroup"_s)->text(),
              u"Stop npm run dev \u2014 ports 5173, 8081 (4 processes)"_s);
    refreshWith({});
    EXPECT_EQ(stopItem(alone), QString()) << "the process alone: its own button stops it";
    Listener ampersand = started;
    ampersand.group->leaderCommand = u"sh -c vite & node api.js"_s;
    EXPECT_EQ(stopItem(ampersand), u"Stop sh -c vite && node api.js (4 processes)"_s) << "shown as typed, no mnemonic";
    Listener colored = started;  // while the first stop runs, this item is only read
    colored.group->leaderCommand = u"\x1b[31mnpm run dev\x07"_s;
    EXPECT_EQ(stopItem(colored), u"Stop \\x1B[31mnpm run dev\\x07 (4 processes)"_s) << "no control character";
    EXPECT_EQ(stopItem(started), u"Stop npm run dev (4 processes)"_s);
    ASSERT_TRUE(waitUntil([&] { return service->groupStops.size() == 1; }));
    EXPECT_EQ(service->groupStops[0].group, *ampersand.group);
    EXPECT_FALSE(service->groupStops[0].force);
    service->finishGroupStop(0, PortServiceError::processExited());
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
    service->exited.unite(QSet<ProcessIdentity>(inUnit.group->members.cbegin(), inUnit.group->members.cend()));
    EXPECT_EQ(stopItem(inUnit), u"Stop Unit api.service"_s);
    ASSERT_TRUE(waitUntil([&] { return service->unitStops.size() == 1 && stoppingProcesses(*store).isEmpty(); }));
    EXPECT_EQ(service->unitStops, QStringList{u"api.service"_s});

    // The server outlives its group's interrupt: its row's Force, and its menu, name the rest.
    service->exited = {started.group->members[0], started.group->members[1], started.group->members[2]};
    // The refreshes the stops above asked for find the server.
    for (int pass = 0; pass < 4; ++pass) {
        settle();
        if (!service->snapshots.empty() && !service->snapshots.back().promise->future().isFinished()) {
            service->finishSnapshot(service->snapshots.size() - 1, {started});
        }
    }
    ASSERT_TRUE(waitUntil([&] { return view->rows().size() == 1; }));
    EXPECT_EQ(stopItem(started), u"Stop npm run dev (4 processes)"_s);
    ASSERT_TRUE(waitUntil([&] { return service->groupStops.size() == 2; }));
    service->finishGroupStop(1, *started.group);
    ASSERT_TRUE(waitUntil([&] { return forcedProcesses(*store).contains(*started.identity); }));
    settle();
    EXPECT_EQ(view->rows().front()->actionButton()->toolTip(),
              Appearance::literalText(u"Force quit npm run dev (1 process) (SIGKILL)"_s));
    EXPECT_EQ(view->rows().front()->actionButton()->accessibleName(),
              u"Force quit npm run dev (1 process) (SIGKILL)"_s);
    Listener renamed = started;  // the leader has gone: a refresh names the group after the server
    renamed.group->leaderCommand = u"node"_s;
    EXPECT_EQ(stopItem(renamed), u"Force Quit npm run dev (1 process)"_s);
    ASSERT_TRUE(waitUntil([&] { return service->groupStops.size() == 3; }));
    EXPECT_TRUE(service->groupStops[2].force);
    service->finishGroupStop(2, PortServiceError::processExited());
    ASSERT_TRUE(waitUntil([&] { return stoppingProcesses(*store).isEmpty(); }));
}

TEST_F(PopoverViewTest, HeaderButtonsAndShortcuts) {
    auto* settingsButton = view->findChild<PlainButton*>(u"settingsButton"_s);
    auto* refreshButton = view->findChild<PlainButton*>(u"refreshButton"_s);
#ifdef Q_OS_MACOS
    EXPECT_EQ(settingsButton->toolTip(), QString::fromUtf8("Discovery settings (\xE2\x8C\x98,)"));
    EXPECT_EQ(refreshButton->toolTip(), QString::fromUtf8("Refresh ports (\xE2\x8C\x98R)"));
#else
    EXPECT_EQ(settingsButton->toolTip(), u"Discovery settings (Ctrl+,)"_s);
    EXPECT_EQ(refreshButton->toolTip(), u"Refresh ports (Ctrl+R)"_s);
#endif
    EXPECT_EQ(settingsButton->accessibleName(), u"Discovery settings"_s);
    EXPECT_EQ(refreshButton->accessibleName(), u"Refresh ports"_s);
    EXPECT_EQ(settingsButton->symbol(), Symbol::sliderHorizontal3);
    EXPECT_EQ(refreshButton->symbol(), Symbol::arrowClockwise);
    EXPECT_EQ(settingsButton->size(), QSize(24, 24));

    showActive();
    QTest::keyClick(view.get(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(waitUntil([&] { return service->snapshots.size() == 1; }));
    // The refresh button stays enabled while a scan runs; the store merges the requests.
    QTest::mouseClick(refreshButton, Qt::LeftButton);
    service->finishSnapshot(0, {});
    EXPECT_TRUE(waitUntil([&] { return service->snapshots.size() == 2; }));

    QTest::keyClick(view.get(), Qt::Key_Comma, Qt::ControlModifier);
    settle();
    EXPECT_EQ(view->content(), Content::discoverySettings);
    QTest::mouseClick(settingsButton, Qt::LeftButton);
    settle();
    EXPECT_NE(view->content(), Content::discoverySettings);

    QTest::keyClick(view.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    QTest::mouseClick(view->findChild<PlainButton*>(u"quitButton"_s), Qt::LeftButton);
    EXPECT_EQ(quits, 2);
}

TEST_F(PopoverViewTest, SettingsPanelKeepsFooterAndErrorLine) {
    refreshFailing(u"boom"_s);
    store->toggleDiscoverySettings();
    settle();
    EXPECT_EQ(view->content(), Content::discoverySettings);
    EXPECT_TRUE(errorLine()->isVisibleTo(view.get()));
    EXPECT_EQ(footerText(), u"Development ports"_s);
    EXPECT_EQ(naturalHeight(), static_cast<int>(store->popoverHeight()));
}

TEST_F(PopoverViewTest, SettingsValidationNamesTheLoneHyphenAndStoresNothing) {
    view->show();
    store->toggleDiscoverySettings();
    settle();
    DiscoveryPreferencesView* panel = preferences();
    ASSERT_NE(panel, nullptr);
    panel->findChild<QLineEdit*>(u"included"_s)->setText(u"20000 - 20100"_s);
    QTest::mouseClick(panel->findChild<QPushButton*>(u"saveButton"_s), Qt::LeftButton);
    settle();
    const QString expected = QString::fromUtf8(
        "Invalid port \xE2\x80\x98-\xE2\x80\x99. Use 1\xE2\x80\x93"
        "65535 or an ascending range.");
    EXPECT_EQ(panel->validationError(), expected);
    auto* error = panel->findChild<QLabel*>(u"validationError"_s);
    EXPECT_TRUE(error->isVisibleTo(panel));
    EXPECT_EQ(error->text(), expected);
    EXPECT_EQ(view->content(), Content::discoverySettings);
    EXPECT_FALSE(settings->value(DiscoverySettings::kIncludedKey).isValid());
    EXPECT_TRUE(service->snapshots.empty());

    // The field at fault is marked, and unmarked once its text is valid.
    auto* included = panel->findChild<QLineEdit*>(u"included"_s);
    EXPECT_TRUE(included->property("invalid").toBool());
    EXPECT_EQ(included->accessibleDescription(), expected);
    EXPECT_FALSE(panel->findChild<QLineEdit*>(u"excluded"_s)->property("invalid").toBool());
    view->resize(view->width(), naturalHeight());
    test::saveScreenshot(*view, u"settings-validation-error-light"_s);
    included->setText(u"20000-20100"_s);
    EXPECT_FALSE(included->property("invalid").toBool());
    EXPECT_FALSE(error->isVisibleTo(panel));
}

TEST_F(PopoverViewTest, EscapeLeavesTheSettingsFirstAndTheFieldsShowTheirStart) {
    settings->setValue(DiscoverySettings::kIncludedKey, u"4100-4199, 30000-65535"_s);
    store = std::make_unique<PortStore>(std::make_unique<FakePortService>(service), *settings, FolderChooser());
    view = std::make_unique<PopoverView>(*store, [] {});
    showActive();
    QTest::keyClick(view.get(), Qt::Key_Comma, Qt::ControlModifier);
    settle();
    ASSERT_NE(preferences(), nullptr);
    auto* included = preferences()->findChild<QLineEdit*>(u"included"_s);
    EXPECT_EQ(included->cursorPosition(), 0) << "the start of the rules is what shows";
    EXPECT_TRUE(preferences()->isAncestorOf(QApplication::focusWidget())) << "Ctrl+, puts the keyboard in the panel";
    included->setText(u"9"_s);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(preferences(), nullptr) << "Escape left the panel";
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(store->discoverySettings().includedText(), u"4100-4199, 30000-65535"_s) << "and dropped the edit";
}

TEST_F(PopoverViewTest, WithDiscoveryOffTheEmptyListSaysSoAndOffersToTurnItOn) {
    store->updateDiscoverySettings(std::get<DiscoverySettings>(DiscoverySettings::create(false, {}, {})));
    refreshWith({});
    EXPECT_EQ(statusPanel()->text(), u"Automatic discovery is off"_s);
    auto* turnOn = statusPanel()->findChild<QPushButton*>(u"statusAction"_s);
    ASSERT_NE(turnOn, nullptr);
    EXPECT_EQ(turnOn->text(), u"Turn On Discovery"_s);
    turnOn->click();
    EXPECT_TRUE(store->discoverySettings().automatic());
    EXPECT_EQ(settings->value(DiscoverySettings::kAutomaticKey), QVariant(true));
}

TEST_F(PopoverViewTest, CancelDropsTheEdits) {
    view->show();
    store->toggleDiscoverySettings();
    settle();
    preferences()->findChild<QLineEdit*>(u"excluded"_s)->setText(u"9229"_s);
    preferences()->findChild<QCheckBox*>(u"automatic"_s)->setChecked(false);
    QTest::mouseClick(preferences()->findChild<QPushButton*>(u"cancelButton"_s), Qt::LeftButton);
    settle();
    EXPECT_NE(view->content(), Content::discoverySettings);
    EXPECT_EQ(preferences(), nullptr);

    store->toggleDiscoverySettings();
    settle();
    EXPECT_EQ(preferences()->findChild<QLineEdit*>(u"excluded"_s)->text(), QString());
    EXPECT_TRUE(preferences()->findChild<QCheckBox*>(u"automatic"_s)->isChecked());
}

TEST_F(PopoverViewTest, SavingStoresTheRulesClosesThePanelAndRefreshes) {
    store->toggleDiscoverySettings();
    settle();
    DiscoveryPreferencesView* panel = preferences();
    auto* placeholder = panel->findChild<QLineEdit*>(u"included"_s);
    EXPECT_EQ(placeholder->placeholderText(), u"12345, 20000-20100"_s);
    EXPECT_EQ(panel->findChild<QLineEdit*>(u"excluded"_s)->placeholderText(), u"9229, 50000-50100"_s);
    panel->findChild<QLineEdit*>(u"included"_s)->setText(u"3000-3005"_s);
    panel->findChild<QCheckBox*>(u"automatic"_s)->setChecked(false);
    panel->save();
    settle();
    EXPECT_EQ(view->content(), Content::status);
    EXPECT_EQ(settings->value(DiscoverySettings::kIncludedKey).toString(), u"3000-3005"_s);
    EXPECT_EQ(settings->value(DiscoverySettings::kAutomaticKey).toBool(), false);
    EXPECT_TRUE(waitUntil([&] { return service->snapshots.size() == 1; }));
    EXPECT_EQ(service->snapshots[0].settings.includedText(), u"3000-3005"_s);

    // Empty fields store empty rules.
    store->toggleDiscoverySettings();
    settle();
    preferences()->findChild<QLineEdit*>(u"included"_s)->clear();
    preferences()->save();
    settle();
    EXPECT_EQ(settings->value(DiscoverySettings::kIncludedKey).toString(), QString());
    EXPECT_TRUE(store->discoverySettings().included().ranges().isEmpty());
}

TEST_F(PopoverViewTest, EmptyCheckBoxStandsOutFromTheWindow) {
    store->toggleDiscoverySettings();
    settle();
    auto* box = preferences()->findChild<QCheckBox*>(u"automatic"_s);
    QPalette blackBase = darkPalette();
    blackBase.setColor(QPalette::Base, Qt::black);
    QPalette allBlack = blackBase;
    allBlack.setColor(QPalette::Window, Qt::black);
    const struct {
        const char* name;
        QPalette palette;
    } cases[] = {
        {"light", lightPalette()}, {"dark", darkPalette()}, {"black base", blackBase}, {"all black", allBlack}};
    for (const auto& c : cases) {
        view->setPalette(c.palette);
        EXPECT_GE(Appearance::contrastRatio(box->palette().color(QPalette::Base), c.palette.color(QPalette::Window)),
                  3.0)
            << c.name;
    }
}

TEST_F(PopoverViewTest, ReturnSavesFromTheFields) {
    showActive();
    store->toggleDiscoverySettings();
    settle();
    auto* field = preferences()->findChild<QLineEdit*>(u"excluded"_s);
    field->setFocus();
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus(); }));
    QTest::keyClicks(field, u"9229"_s);
    QTest::keyClick(field, Qt::Key_Return);
    settle();
    EXPECT_EQ(settings->value(DiscoverySettings::kExcludedKey).toString(), u"9229"_s);
    EXPECT_NE(view->content(), Content::discoverySettings);
    EXPECT_TRUE(view->findChild<QWidget*>(u"settingsButton"_s)->hasFocus()) << "the keyboard goes back, not to Quit";
}

TEST_F(PopoverViewTest, InGermanEveryFixedTextIsTranslatedAndCountsTakeTheirPlural) {
    QTranslator german;
    ASSERT_TRUE(german.load(u"vantu_de"_s, u":/i18n"_s));
    QCoreApplication::installTranslator(&german);
    view = std::make_unique<PopoverView>(*store, [] {});
    view->show();
    refreshWith(threeListeners());
    EXPECT_EQ(footerText(), u"3 Entwicklungs-Ports"_s);
    refreshWith({threeListeners().front()});
    EXPECT_EQ(footerText(), u"1 Entwicklungs-Port"_s);
    refreshWith(threeListeners());
    view->resize(view->width(), naturalHeight());
    test::saveScreenshot(*view, u"popover-list-de-light"_s);
    // At the default width no text of a row (a Force row's too) or the footer is cut, nor a button's label.
    PortRow forced(threeListeners().front(), false, true, [] {});
    forced.setFixedWidth(view->width());
    forced.show();
    settle();
    test::saveScreenshot(forced, u"row-force-de-light"_s);
    for (const ElidedLabel* text : view->findChildren<ElidedLabel*>() + forced.findChildren<ElidedLabel*>()) {
        EXPECT_TRUE(!text->isVisible() || !text->isElided()) << text->text().toStdString();
    }
    EXPECT_EQ(forced.findChild<ElidedLabel*>(u"detail"_s)->text(), u"Läuft nach SIGTERM weiter"_s);
    for (const StopButton* button : {forced.actionButton(), view->rows().front()->actionButton()}) {
        EXPECT_LE(QFontMetrics(button->font()).horizontalAdvance(button->text()), button->width() - 8);
    }
    EXPECT_TRUE(forced.findChild<QWidget*>(u"nameBlock"_s)->accessibleDescription().endsWith(u"Port 3000"_s));
    store->toggleDiscoverySettings();
    settle();
    EXPECT_EQ(preferences()->findChild<QPushButton*>(u"cancelButton"_s)->text(), u"Abbrechen"_s);
    view->resize(view->width(), naturalHeight());
    test::saveScreenshot(*view, u"popover-settings-de-light"_s);
    // The tooltip's group line, from a sentence of the core.
    const ProcessGroup group{.leaderPid = 1200, .leaderCommand = u"npm run dev"_s, .members = {{}, {}, {}}};
    EXPECT_EQ(group.description(), u"npm run dev (PID 1200, 3 Prozesse)"_s);
    QCoreApplication::removeTranslator(&german);
}

// Contrast as a person sees it: from the rendered popover (at scale 2, so that glyph stems reach
// their full colour), the strongest text pixel of each part against that part's background.
TEST_F(PopoverViewTest, TextContrastMeasuredOnTheRenderedPopover) {
    view->show();
    for (const bool dark : {false, true}) {
        view->setPalette(dark ? darkPalette() : lightPalette());
        refreshWith(threeListeners());
        view->resize(view->width(), naturalHeight());
        QImage image(view->size() * 2, QImage::Format_ARGB32);
        image.setDevicePixelRatio(2);
        image.fill(view->palette().color(QPalette::Window));
        view->render(&image);
        const auto measure = [&](QWidget* part) {
            const QRect area(part->mapTo(view.get(), QPoint(0, 0)) * 2, part->size() * 2);
            QHash<QRgb, int> counts;
            for (int y = area.top(); y <= area.bottom(); ++y) {
                for (int x = area.left(); x <= area.right(); ++x) {
                    ++counts[image.pixel(x, y)];
                }
            }
            // The commonest colour is the background; the text is what differs from it most. A part
            // with no pixels has neither, and measures 1:1.
            QRgb background = 0;
            int most = 0;
            for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
                if (it.value() > most) {
                    most = it.value();
                    background = it.key();
                }
            }
            double best = 1.0;
            for (auto it = counts.constBegin(); it != counts.constEnd(); ++it) {
                best = std::max(best, Appearance::contrastRatio(QColor(it.key()), QColor(background)));
            }
            return best;
        };
        PortRow* row = view->rows().front();
        const struct {
            const char* part;
            QWidget* widget;
        } parts[] = {
            {"footer count", view->findChild<ElidedLabel*>(u"count"_s)},
            {"row detail", row->findChild<ElidedLabel*>(u"detail"_s)},
            {"port badge", row->findChild<QWidget*>(u"portBadge"_s)},
        };
        for (const auto& part : parts) {
            const double ratio = measure(part.widget);
            std::cout << (dark ? "dark " : "light ") << part.part << ": " << ratio << ":1\n";
            EXPECT_GE(ratio, 4.5) << part.part << (dark ? " (dark)" : " (light)");
        }
    }
}

TEST_F(PopoverViewTest, Screenshots) {
    // Each state in the light and the dark palette, at scale 1 and 2.
    const auto shoot = [this](const QString& name) {
        view->resize(view->width(), naturalHeight());
        view->setFocus();
        for (const int scale : {1, 2}) {
            QImage image(view->size() * scale, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(scale);
            image.fill(Qt::transparent);
            view->render(&image);
            test::saveScreenshot(image, u"%1-%2x-%3"_s.arg(name).arg(scale).arg(
                                            Appearance::isDark(view->palette()) ? u"dark"_s : u"light"_s));
        }
    };
    const auto answerPending = [this] {
        ASSERT_TRUE(waitUntil(
            [&] { return !service->snapshots.empty() && !service->snapshots.back().promise->future().isFinished(); }));
        service->finishSnapshot(service->snapshots.size() - 1, {});
        ASSERT_TRUE(waitUntil([&] { return !store->isRefreshing(); }));
    };
    view->show();
    for (const bool dark : {false, true}) {
        view->setPalette(dark ? darkPalette() : lightPalette());
        refreshWith(threeListeners());
        settle();
        shoot(u"popover-list"_s);
        refreshWith({});
        startRefresh();
        shoot(u"popover-scanning"_s);
        service->failSnapshot(service->snapshots.size() - 1, PortServiceError::scanTimedOut());
        ASSERT_TRUE(waitUntil([&] { return !store->isRefreshing(); }));
        settle();
        shoot(u"popover-unavailable"_s);
        store->updateDiscoverySettings(std::get<DiscoverySettings>(DiscoverySettings::create(false, {}, {})));
        answerPending();
        settle();
        shoot(u"popover-discovery-off"_s);
        store->toggleDiscoverySettings();
        settle();
        shoot(u"popover-settings"_s);
        store->toggleDiscoverySettings();
        store->updateDiscoverySettings(DiscoverySettings::defaults());
        answerPending();
    }
}

}  // namespace
}  // namespace vantu::test

#include "popover_view_test.moc"
