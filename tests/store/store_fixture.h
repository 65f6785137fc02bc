#pragma once

#include "fake_port_service.h"
#include "platform/settings_store.h"
#include "store/port_store.h"

#include <gtest/gtest.h>

#include <QtCore/qtestsupport_core.h>
#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vantu::test {

// Conditions are awaited by running the event loop, with a deadline far beyond what any of
// them needs: the tests share a loaded machine.
inline bool waitUntil(const std::function<bool()>& condition) {
    return QTest::qWaitFor(condition, 30'000);
}

// Runs whatever is queued right now (and what that queues in turn, a few rounds deep).
inline void drainEvents() {
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// A development server of this user, as a scan reports it: "node" is a runtime, so the
// filter shows it without looking the process up.
Listener devListener(int32_t pid, uint16_t port, const QString& command = QStringLiteral("node"),
                     std::optional<QString> workingDirectory = std::nullopt);
ProcessIdentity identityOf(int32_t pid);

// A store over a fake service, a settings file of its own, and a folder chooser that keeps
// every request for the test to answer.
class StoreFixture : public ::testing::Test {
protected:
    struct ChooserCall {
        FolderChoiceRequest request;
        std::function<void(std::optional<QString>)> answer;
    };

    StoreFixture();
    ~StoreFixture() override;

    // Short waits by default, the polite one distinctly longer, like the real ones.
    void makeStore(StopDelays delays = {std::chrono::milliseconds(40), std::chrono::milliseconds(10)});
    void destroyStore();
    // A new store over the same settings file, as the next run of the app would have.
    void makeStoreOverFreshSettings(StopDelays delays = {});

    // Runs one refresh to its end with this scan result.
    void refreshWith(const QList<Listener>& listeners);
    void refreshFailing(const ServiceError& error);
    [[nodiscard]] bool passesEnded(int count) const { return layoutChanges == count; }

    [[nodiscard]] QString settingsPath() const { return tempFolder.filePath(QStringLiteral("vantu.json")); }

    QTemporaryDir tempFolder;
    std::unique_ptr<platform::SettingsStore> settings;
    std::shared_ptr<FakePortService::Record> service = std::make_shared<FakePortService::Record>();
    std::vector<ChooserCall> chooserCalls;
    std::unique_ptr<PortStore> store;
    int layoutChanges = 0;
    int notifications = 0;
};

}  // namespace vantu::test
