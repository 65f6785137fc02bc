#include "store_fixture.h"

#include <unistd.h>

namespace vantu::test {

ProcessIdentity identityOf(int32_t pid) {
    return ProcessIdentity{pid, static_cast<uint32_t>(::getuid()), 1'700'000'000, static_cast<uint64_t>(pid % 1000)};
}

Listener devListener(int32_t pid, uint16_t port, const QString& command, std::optional<QString> workingDirectory) {
    return Listener{.pid = pid,
                    .port = port,
                    .command = command,
                    .identity = identityOf(pid),
                    .project = std::nullopt,
                    .workingDirectory = std::move(workingDirectory)};
}

StoreFixture::StoreFixture() {
    EXPECT_TRUE(tempFolder.isValid());
    settings = std::make_unique<platform::SettingsStore>(settingsPath());
}

StoreFixture::~StoreFixture() {
    destroyStore();
    // Abandoned work still resumes the tasks that await it; let them end and free themselves.
    service->cancelOpenRequests();
    drainEvents();
}

void StoreFixture::makeStore(StopDelays delays) {
    layoutChanges = 0;
    notifications = 0;
    auto chooser = [this](const FolderChoiceRequest& request, std::function<void(std::optional<QString>)> answer) {
        chooserCalls.push_back({request, std::move(answer)});
    };
    store = std::make_unique<PortStore>(std::make_unique<FakePortService>(service), *settings, chooser, delays);
    store->setOnLayoutChange([this] {
        ++layoutChanges;
        service->events.append(QStringLiteral("layout"));
    });
    QObject::connect(store.get(), &PortStore::willChange, [this] { ++notifications; });
}

void StoreFixture::destroyStore() {
    store.reset();
}

void StoreFixture::makeStoreOverFreshSettings(StopDelays delays) {
    destroyStore();
    settings = std::make_unique<platform::SettingsStore>(settingsPath());
    makeStore(delays);
}

void StoreFixture::refreshWith(const QList<Listener>& listeners) {
    const size_t index = service->snapshots.size();
    const int passes = layoutChanges;
    store->refresh();
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() > index; }));
    service->finishSnapshot(index, listeners);
    ASSERT_TRUE(waitUntil([&] { return passesEnded(passes + 1); }));
}

void StoreFixture::refreshFailing(const ServiceError& error) {
    const size_t index = service->snapshots.size();
    const int passes = layoutChanges;
    store->refresh();
    ASSERT_TRUE(waitUntil([&] { return service->snapshots.size() > index; }));
    service->failSnapshot(index, error);
    ASSERT_TRUE(waitUntil([&] { return passesEnded(passes + 1); }));
}

}  // namespace vantu::test
