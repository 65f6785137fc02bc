#include "popover_fixture.h"

#include "ui_test_support.h"

#include <QApplication>

namespace vantu::test {

PopoverFixture::PopoverFixture() {
    EXPECT_TRUE(folder.isValid());
    settings = std::make_unique<platform::SettingsStore>(folder.filePath(QStringLiteral("vantu.json")));
    auto chooser = [this](const FolderChoiceRequest& request, std::function<void(std::optional<QString>)> answer) {
        chooserCalls.push_back({request, std::move(answer)});
    };
    store = std::make_unique<PortStore>(std::make_unique<FakePortService>(service), *settings, chooser,
                                        StopDelays{std::chrono::milliseconds(40), std::chrono::milliseconds(10)});
    store->setOnLayoutChange([this] { ++layoutChanges; });
    view = std::make_unique<PopoverView>(*store, [this] { ++quits; });
}

PopoverFixture::~PopoverFixture() {
    view.reset();
    store.reset();
    service->cancelOpenRequests();
    processEvents();
}

size_t PopoverFixture::startRefresh() {
    const size_t index = service->snapshots.size();
    store->refresh();
    EXPECT_TRUE(waitUntil([&] { return service->snapshots.size() > index; }));
    settle();
    return index;
}

void PopoverFixture::refreshWith(const QList<Listener>& listeners) {
    const int passes = layoutChanges;
    const size_t index = startRefresh();
    service->finishSnapshot(index, listeners);
    ASSERT_TRUE(waitUntil([&] { return layoutChanges > passes; }));
    settle();
}

void PopoverFixture::refreshFailing(const QString& detail) {
    const int passes = layoutChanges;
    const size_t index = startRefresh();
    service->failSnapshot(index, PortServiceError::scanFailed(detail));
    ASSERT_TRUE(waitUntil([&] { return layoutChanges > passes; }));
    settle();
}

void PopoverFixture::settle() {
    processEvents();
}

void PopoverFixture::showActive() {
    view->resize(view->width(), static_cast<int>(store->popoverHeight()));
    view->show();
    view->activateWindow();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(waitUntil([&] { return view->isActiveWindow(); }));
}

}  // namespace vantu::test
