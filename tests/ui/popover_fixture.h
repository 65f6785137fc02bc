#pragma once

#include "fake_port_service.h"
#include "platform/settings_store.h"
#include "store/port_store.h"
#include "ui/popover_view.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>
#include <vector>

namespace vantu::test {

// A popover view over a real store whose service the test settles, a settings file of its
// own, and a folder chooser that records what it was asked.
class PopoverFixture : public ::testing::Test {
protected:
    struct ChooserCall {
        FolderChoiceRequest request;
        std::function<void(std::optional<QString>)> answer;
    };

    PopoverFixture();
    ~PopoverFixture() override;

    // Starts a refresh and waits until the store has asked for its scan.
    size_t startRefresh();
    // Runs one whole refresh with this result and lets the view catch up.
    void refreshWith(const QList<Listener>& listeners);
    void refreshFailing(const QString& detail);
    // Lets the view read the store's latest state.
    void settle();

    // The view in a window of its own at the popover's size, active so shortcuts work.
    void showActive();

    QTemporaryDir folder;
    std::unique_ptr<platform::SettingsStore> settings;
    std::shared_ptr<FakePortService::Record> service = std::make_shared<FakePortService::Record>();
    std::vector<ChooserCall> chooserCalls;
    std::unique_ptr<PortStore> store;
    std::unique_ptr<PopoverView> view;
    int quits = 0;
    int layoutChanges = 0;
};

}  // namespace vantu::test
