// The store over the real service: a real listener found by the real listing tool, and
// stopped by a real signal.
#include "spawned_listener.h"
#include "store_fixture.h"

#include <QDir>
#include <QFile>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

class StoreServiceTest : public ::testing::Test {
protected:
    StoreServiceTest() {
        EXPECT_TRUE(home.isValid());
        project = home.filePath(u"store-site"_s);
        EXPECT_TRUE(QDir().mkpath(project + u"/.git"_s));
        QFile manifest(project + u"/package.json"_s);
        EXPECT_TRUE(manifest.open(QIODevice::WriteOnly));
        manifest.write(R"({"name": "store-e2e-site"})");
        manifest.close();

        settings = std::make_unique<platform::SettingsStore>(home.filePath(u"vantu.json"_s));
        store = std::make_unique<PortStore>(std::make_unique<PortService>(), *settings, FolderChooser());
        store->setOnLayoutChange([this] { ++passes; });
    }

    ~StoreServiceTest() override {
        store.reset();
        drainEvents();
    }

    // Runs one refresh to its end (a stop's own refresh may be running already).
    void refreshToTheEnd() {
        const int before = passes;
        store->refresh();
        ASSERT_TRUE(waitUntil([&] { return passes > before && !store->isRefreshing(); }));
    }

    [[nodiscard]] std::optional<Listener> shown(const SpawnedListener& server) const {
        for (const Listener& listener : store->listeners()) {
            if (listener.pid == server.pid() && listener.port == server.port()) {
                return listener;
            }
        }
        return std::nullopt;
    }

    QTemporaryDir home;
    QString project;
    std::unique_ptr<platform::SettingsStore> settings;
    std::unique_ptr<PortStore> store;
    int passes = 0;
};

TEST_F(StoreServiceTest, ARealServerIsListedWithItsProjectAndStoppedPolitely) {
    SpawnedListener server = SpawnedListener::start({.workingDirectory = project, .commandName = u"node"_s});
    refreshToTheEnd();
    ASSERT_FALSE(store->errorMessage().has_value()) << store->errorMessage()->toStdString();
    const std::optional<Listener> listener = shown(server);
    ASSERT_TRUE(listener.has_value());
    ASSERT_TRUE(listener->identity.has_value());
    ASSERT_TRUE(listener->project.has_value());
    EXPECT_EQ(listener->project->name, u"store-e2e-site"_s);

    store->stop(*listener);
    EXPECT_TRUE(stoppingProcesses(*store).contains(*listener->identity));
    ASSERT_TRUE(waitUntil([&] { return server.hasExited(); }));
    // The refresh after the polite wait finds it gone and withdraws the force offer.
    ASSERT_TRUE(waitUntil([&] {
        return stoppingProcesses(*store).isEmpty() && !store->isRefreshing() && !shown(server) &&
               forcedProcesses(*store).isEmpty();
    }));
    EXPECT_FALSE(store->errorMessage().has_value());
}

TEST_F(StoreServiceTest, AServerIgnoringThePoliteSignalIsOfferedAndGivenTheForcedOne) {
    SpawnedListener server = SpawnedListener::start({.ignoreTerm = true, .commandName = u"node"_s});
    refreshToTheEnd();
    const std::optional<Listener> listener = shown(server);
    ASSERT_TRUE(listener.has_value());
    const ProcessIdentity identity = *listener->identity;

    const int before = passes;
    store->stop(*listener);
    // The acceptance reports one layout, the refresh after the polite wait the next.
    ASSERT_TRUE(waitUntil([&] { return passes >= before + 2 && !store->isRefreshing(); }));
    EXPECT_TRUE(forcedProcesses(*store).contains(identity));
    EXPECT_TRUE(stoppingProcesses(*store).isEmpty());
    EXPECT_TRUE(shown(server).has_value()) << "still listening after the polite signal";
    EXPECT_FALSE(server.hasExited());

    store->stop(*listener);
    ASSERT_TRUE(waitUntil([&] { return server.hasExited(); }));
    ASSERT_TRUE(waitUntil([&] {
        return stoppingProcesses(*store).isEmpty() && !store->isRefreshing() && !shown(server) &&
               forcedProcesses(*store).isEmpty();
    }));
}

}  // namespace
}  // namespace vantu::test
