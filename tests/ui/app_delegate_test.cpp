#include "ui/app_delegate.h"
#include "fake_port_service.h"
#include "fake_tools.h"
#include "platform/settings_store.h"
#include "spawned_listener.h"
#include "store/port_store.h"
#include "ui/popover_placement.h"
#include "ui/popover_view.h"
#include "ui/popover_window.h"
#include "ui/single_instance.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegateTest() {
        settings = std::make_unique<platform::SettingsStore>(folder.filePath(u"vantu.json"_s));
        auto store =
            std::make_unique<PortStore>(std::make_unique<FakePortService>(service), *settings, FolderChooser());
        delegate = std::make_unique<AppDelegate>(std::move(store), [this] { ++quits; });
    }
    ~AppDelegateTest() override {
        delegate.reset();
        service->cancelOpenRequests();
        processEvents();
    }

    QTemporaryDir folder;
    std::unique_ptr<platform::SettingsStore> settings;
    std::shared_ptr<FakePortService::Record> service = std::make_shared<FakePortService::Record>();
    std::unique_ptr<AppDelegate> delegate;
    int quits = 0;
};

TEST_F(AppDelegateTest, WithoutATrayThePanelIsAnOrdinaryWindow) {
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the headless platform has no tray";
    testing::internal::CaptureStderr();
    delegate->applicationDidFinishLaunching();
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_NE(message.find("no system tray"), std::string::npos);

    PopoverWindow& window = delegate->popover();
    EXPECT_FALSE(delegate->isDocked());
    EXPECT_EQ(window.mode(), PopoverWindow::Mode::window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::Popup));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    // Showing the panel is an opening: it refreshes once.
    EXPECT_TRUE(waitUntil([&] { return service->snapshots.size() == 1; }));
    EXPECT_EQ(window.size(), QSize(290, static_cast<int>(delegate->store().popoverHeight())));

    // The icon's click does nothing without a tray.
    window.hide();
    delegate->togglePopover();
    EXPECT_FALSE(window.isVisible());

    // Closing the only window of an app without a tray ends it rather than leaving it unseen.
    window.show();
    window.close();
    EXPECT_EQ(quits, 1);
}

TEST_F(AppDelegateTest, TheTrayMenuOpensRefreshesShowsTheSettingsAndQuits) {
    delegate->applicationDidFinishLaunching();
    QMenu* menu = delegate->trayMenu();
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions()) {
        if (!action->isSeparator()) {
            texts.append(action->text());
        }
    }
    ASSERT_EQ(texts, (QStringList{u"Open Vantu"_s, u"Refresh"_s, u"Discovery Settings\u2026"_s, u"Quit"_s}));
    const auto trigger = [&](const QString& text) {
        for (QAction* action : menu->actions()) {
            if (action->text() == text) {
                action->trigger();
            }
        }
    };
    delegate->popover().hide();
    trigger(u"Discovery Settings\u2026"_s);
    EXPECT_TRUE(delegate->popover().isVisible());
    EXPECT_TRUE(delegate->store().showingDiscoverySettings());
    trigger(u"Quit"_s);
    EXPECT_EQ(quits, 1);
}

// On Wayland the popover is a frameless tool window, which must close when it loses activation
// as a popup closes on a click elsewhere.
TEST_F(AppDelegateTest, TheToolWindowThatStandsInForAPopupClosesWhenItLosesActivation) {
    PopoverWindow& window = delegate->popover();
    window.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    window.show();
    ASSERT_TRUE(window.isVisible());
    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(&window, &deactivate);
    EXPECT_FALSE(window.isVisible());
    ASSERT_TRUE(window.sinceClosedByUser().has_value());
    EXPECT_LT(*window.sinceClosedByUser(), 5000);
}

// The tray's tooltip tells what the last scan found, once the store has settled after it.
TEST_F(AppDelegateTest, TheTraysTooltipCountsTheServersOfTheLastScan) {
    delegate->applicationDidFinishLaunching();
    const auto text = [&] { return delegate->trayIcon().statusNotifierItem().toolTip().text; };
    EXPECT_EQ(delegate->trayIcon().statusNotifierItem().toolTip().title, u"Vantu \u2014 Development ports"_s);
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == 1; }));
    EXPECT_EQ(text(), u"Click to look for development servers"_s) << "no scan has ended yet";
    const struct {
        QList<Listener> listeners;
        QString text;
    } cases[] = {
        {{}, u"No development servers running"_s},
        {{ownListener(101, 3000, u"node"_s)}, u"1 development server running"_s},
        {{ownListener(101, 3000, u"node"_s), ownListener(102, 5173, u"node"_s)}, u"2 development servers running"_s},
    };
    size_t scan = 0;
    for (const auto& [listeners, expected] : cases) {
        if (scan > 0) {
            delegate->store().refresh();
            ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() == scan + 1; }));
        }
        service->finishSnapshot(scan++, listeners);
        EXPECT_TRUE(waitUntil([&] { return text() == expected; })) << text().toStdString();
    }
}

TEST(SingleInstanceTest, ALaterLaunchHandsOverToTheRunningOne) {
    QTemporaryDir folder;
    const QString socket = folder.filePath(u"vantu.socket"_s);
    SingleInstance first(socket);
    int requests = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { ++requests; });
    EXPECT_FALSE(first.handOver()) << "nobody ran before: this one runs";
    SingleInstance second(socket);
    EXPECT_TRUE(second.handOver()) << "the first one runs: hand over and end";
    EXPECT_TRUE(waitUntil([&] { return requests == 1; }));

    // A name left behind by an instance that crashed is taken over.
    QTemporaryDir other;
    const QString stale = other.filePath(u"vantu.socket"_s);
    QFile leftover(stale);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    SingleInstance restarted(stale);
    EXPECT_FALSE(restarted.handOver());
    SingleInstance later(stale);
    EXPECT_TRUE(later.handOver());
}

TEST(SingleInstanceTest, AnotherUsersSocketIsNeverHandedOverTo) {
    if (!runningAsRoot()) {
        GTEST_SKIP() << "another user's socket is staged as nobody, which needs root";
    }
    ScopedEnvironment environment;
    // With no runtime folder, in a temporary folder open to all as /tmp is, nobody came first:
    // to the name used before, and to the private folder's, which it made.
    QTemporaryDir shared;
    ::chmod(QFile::encodeName(shared.path()).constData(), 01777);
    environment.set("XDG_RUNTIME_DIR", QByteArray());
    environment.set("TMPDIR", QFile::encodeName(shared.path()));
    const QString own = shared.filePath(u"vantu-%1"_s.arg(::getuid()));
    const auto squatter =
        SpawnedListener::start({.user = u"nobody"_s, .localSockets = {own + u".socket"_s, own + u"/vantu.socket"_s}});
    testing::internal::CaptureStderr();
    EXPECT_FALSE(SingleInstance().handOver()) << "the folder is nobody's: this launch runs on its own";
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;

    // The user's runtime folder, where nobody listened while it was open: the peer is asked who it is.
    QTemporaryDir runtime;
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0777);
    const auto early =
        SpawnedListener::start({.user = u"nobody"_s, .localSockets = {runtime.filePath(u"vantu.socket"_s)}});
    ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
    environment.set("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    SingleInstance first;
    EXPECT_FALSE(first.handOver()) << "nobody's socket is no running instance";
    EXPECT_TRUE(SingleInstance().handOver()) << "the first launch took the name over";
}

TEST_F(AppDelegateTest, PopoverFollowsTheStoresHeight) {
    delegate->applicationDidFinishLaunching();
    PopoverWindow& window = delegate->popover();
    EXPECT_EQ(window.height(), 164);
    delegate->store().toggleDiscoverySettings();
    EXPECT_EQ(window.height(), 346);
    EXPECT_EQ(window.width(), 290);
    delegate->store().toggleDiscoverySettings();
    EXPECT_EQ(window.height(), 164);
}

TEST(PopoverWindowTest, PopupOpensAtTheIconAndClosesOnEscape) {
    QTemporaryDir folder;
    platform::SettingsStore settings(folder.filePath(u"vantu.json"_s));
    auto service = std::make_shared<FakePortService::Record>();
    PortStore store(std::make_unique<FakePortService>(service), settings, FolderChooser());
    {
        PopoverWindow window(store, [] {});
        EXPECT_TRUE(window.windowFlags().testFlag(Qt::Popup));
        EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
        window.setContentHeight(226);
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect anchor(screen.right() - 40, screen.top(), 22, 22);
        window.showAt(anchor);
        ASSERT_TRUE(waitUntil([&] { return window.isVisible(); }));
        EXPECT_EQ(window.size(), QSize(290, 226));
        EXPECT_EQ(window.pos(), PopoverPlacement::topLeft(anchor, QSize(290, 226), screen));
        // Growing keeps it inside the screen at the same anchor.
        window.setContentHeight(372);
        EXPECT_EQ(window.pos(), PopoverPlacement::topLeft(anchor, QSize(290, 372), screen));
        QTest::keyClick(window.view(), Qt::Key_Escape);
        EXPECT_TRUE(waitUntil([&] { return !window.isVisible(); }));
    }
    service->cancelOpenRequests();
    processEvents();
}

}  // namespace
}  // namespace vantu::test
