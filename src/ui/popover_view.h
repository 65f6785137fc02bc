#pragma once

#include "core/listener.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class QMenu;
class QScrollArea;
class QStackedLayout;
class QTimer;

namespace vantu {

class DiscoveryPreferencesView;
class ElidedLabel;
class PlainButton;
class PortRow;
class PortStore;
class RowList;
class Spinner;
class StatusPanel;

// The whole popover: a header with the title, a refresh spinner and the settings and refresh
// buttons; one of four content panels (settings, a status message, or the rows with or
// without scrolling); an error line while there is an error; a footer with the count and Quit.
//
// It owns no data. Each change the store announces is read on the next event-loop turn, so a
// burst of changes costs one update; every control calls a store operation or `quit`.
class PopoverView : public QWidget {
    Q_OBJECT

public:
    enum class Content { discoverySettings, status, scrollingList, list };

    PopoverView(PortStore& store, std::function<void()> quit, QWidget* parent = nullptr);
    ~PopoverView() override;

    // Reads the store now.
    void rebuild();

    // The context menu of a row showing `listener`; the caller owns it.
    [[nodiscard]] QMenu* buildContextMenu(const Listener& listener, QWidget* parent);

    // How often the list looks for sockets that opened or closed while it is on screen.
    static constexpr int kLiveWatchMilliseconds = 1500;

#ifdef VANTU_TEST_HOOKS
    [[nodiscard]] Content content() const {
        return content_;
    }
    [[nodiscard]] QList<PortRow*> rows() const;
    [[nodiscard]] bool isWatchingSockets() const;
#endif

Q_SIGNALS:
    // After every read of the store.
    void rebuilt();
#ifdef VANTU_TEST_HOOKS
    // Whenever the view has been painted.
    void painted();
    // A row's context menu is about to open.
    void contextMenuShown(QMenu* menu);
#endif

protected:
#ifdef VANTU_TEST_HOOKS
    void paintEvent(QPaintEvent* event) override;
#endif
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void scheduleRebuild();
    void showContent(Content content, QWidget* panel, double height);
    void updateContent();
    void updateRows();
    void updateErrorLine();
    void updateFooter();
    // Tab follows the screen: header, the panel shown (rows top to bottom), Quit last.
    void updateFocusChain();

    PortStore& store_;
    std::function<void()> quit_;
    bool rebuildScheduled_ = false;
    Content content_ = Content::status;

    Spinner* spinner_;
    PlainButton* settingsButton_;
    PlainButton* refreshButton_;
    QWidget* contentArea_;
    QStackedLayout* contentStack_;
    StatusPanel* statusPanel_;
    QScrollArea* listArea_;
    RowList* rowList_;
    QPointer<DiscoveryPreferencesView> preferences_;
    QWidget* errorLine_;
    ElidedLabel* errorText_;
    ElidedLabel* count_;
    PlainButton* quitButton_;
    QTimer* liveWatch_;
};

}  // namespace vantu
