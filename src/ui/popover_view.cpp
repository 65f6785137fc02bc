#include "ui/popover_view.h"

#include "core/visible_text.h"
#include "store/list_geometry.h"
#include "store/port_store.h"
#include "ui/accessible_widgets.h"
#include "ui/appearance.h"
#include "ui/discovery_preferences_view.h"
#include "ui/divider.h"
#include "ui/elided_label.h"
#include "ui/focus_chain.h"
#include "ui/metrics.h"
#include "ui/plain_button.h"
#include "ui/port_row.h"
#include "ui/row_list.h"
#include "ui/row_menu.h"
#include "ui/spinner.h"
#include "ui/status_panel.h"
#include "ui/word_mark_title.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMenu>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

int points(double length) {
    return static_cast<int>(std::lround(length));
}

// The shortcut as the platform spells it: "⌘R" on macOS, "Ctrl+R" elsewhere.
QString spelled(const QKeySequence& keys) {
    return keys.toString(QKeySequence::NativeText);
}

void addShortcut(QWidget* owner, const QKeySequence& keys, const std::function<void()>& action) {
    auto* shortcut = new QShortcut(keys, owner);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, owner, action);
}

}  // namespace

PopoverView::PopoverView(PortStore& store, std::function<void()> quit, QWidget* parent)
    : QWidget(parent), store_(store), quit_(std::move(quit)) {
    setFixedWidth(Metrics::popoverWidth);
    setAutoFillBackground(true);
    // Holds the focus when nothing in it does, but is no Tab stop: nothing to see or name.
    setFocusPolicy(Qt::ClickFocus);
    AccessibleWidgets::install();
    // Holding the focus, it is what a screen reader announces: the panel by what it lists.
    setAccessibleName(tr("Development ports"));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    // Header bar.
    auto* header = new QWidget(this);
    header->setObjectName(u"header"_s);
    header->setFixedHeight(Metrics::headerHeight);
    auto* headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(Metrics::barMargins);
    headerLayout->setSpacing(6);
    auto* title = new WordMarkTitle(tr("VANTU"), header);
    title->setObjectName(u"title"_s);
    headerLayout->addWidget(title, 0, Qt::AlignVCenter);
    headerLayout->addStretch(1);
    spinner_ = new Spinner(12, header);
    spinner_->setObjectName(u"refreshSpinner"_s);
    spinner_->setAccessibleName(tr("Refreshing ports"));
    spinner_->hide();
    headerLayout->addWidget(spinner_, 0, Qt::AlignVCenter);

    const QKeySequence settingsKeys(Qt::CTRL | Qt::Key_Comma);
    const QKeySequence refreshKeys(Qt::CTRL | Qt::Key_R);
    const QKeySequence quitKeys(Qt::CTRL | Qt::Key_Q);
    settingsButton_ =
        new PlainButton(Symbol::sliderHorizontal3, Metrics::headerGlyphSize, Metrics::headerButtonSize, header);
    settingsButton_->setObjectName(u"settingsButton"_s);
    settingsButton_->setToolTip(tr("Discovery settings (%1)").arg(spelled(settingsKeys)));
    settingsButton_->setAccessibleName(tr("Discovery settings"));
    refreshButton_ =
        new PlainButton(Symbol::arrowClockwise, Metrics::headerGlyphSize, Metrics::headerButtonSize, header);
    refreshButton_->setObjectName(u"refreshButton"_s);
    refreshButton_->setToolTip(tr("Refresh ports (%1)").arg(spelled(refreshKeys)));
    refreshButton_->setAccessibleName(tr("Refresh ports"));
    headerLayout->addWidget(settingsButton_, 0, Qt::AlignVCenter);
    headerLayout->addWidget(refreshButton_, 0, Qt::AlignVCenter);
    root->addWidget(header);
    root->addWidget(new Divider(this));

    // Content area: one panel at a time, its height fixed from the store's figures.
    contentArea_ = new QWidget(this);
    contentArea_->setObjectName(u"content"_s);
    contentStack_ = new QStackedLayout(contentArea_);
    contentStack_->setContentsMargins(0, 0, 0, 0);
    statusPanel_ = new StatusPanel(contentArea_);
    statusPanel_->setObjectName(u"statusPanel"_s);
    contentStack_->addWidget(statusPanel_);
    listArea_ = new QScrollArea(contentArea_);
    listArea_->setObjectName(u"listArea"_s);
    listArea_->setFrameShape(QFrame::NoFrame);
    // The rows take the keyboard, not the scrolling frame around them.
    listArea_->setFocusPolicy(Qt::NoFocus);
    listArea_->setWidgetResizable(true);
    listArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listArea_->viewport()->setAutoFillBackground(false);
    rowList_ = new RowList(listArea_);
    rowList_->setObjectName(u"rowList"_s);
    rowList_->setAutoFillBackground(false);
    listArea_->setWidget(rowList_);
    contentStack_->addWidget(listArea_);
    root->addWidget(contentArea_);

    // Error line, present only while there is an error.
    errorLine_ = new QWidget(this);
    errorLine_->setObjectName(u"errorLine"_s);
    errorLine_->setFixedHeight(Metrics::errorLineHeight);
    auto* errorLayout = new QHBoxLayout(errorLine_);
    errorLayout->setContentsMargins(Metrics::barMargins);
    errorText_ = new ElidedLabel(3, Appearance::systemFont(10), Appearance::Level::secondary, errorLine_);
    errorText_->setObjectName(u"errorText"_s);
    errorLayout->addWidget(errorText_);
    errorLine_->hide();
    root->addWidget(errorLine_);
    root->addWidget(new Divider(this));

    // Footer bar.
    auto* footer = new QWidget(this);
    footer->setObjectName(u"footer"_s);
    footer->setFixedHeight(Metrics::footerHeight);
    auto* footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(Metrics::barMargins);
    count_ = new ElidedLabel(1, Appearance::systemFont(10), Appearance::Level::secondary, footer);
    count_->setObjectName(u"count"_s);
    footerLayout->addWidget(count_, 1);
    quitButton_ = new PlainButton(tr("Quit"), Appearance::systemFont(10), footer);
    quitButton_->setObjectName(u"quitButton"_s);
    footerLayout->addWidget(quitButton_, 0, Qt::AlignVCenter);
    root->addWidget(footer);

    const auto toggleSettings = [this] { store_.toggleDiscoverySettings(); };
    const auto refresh = [this] { store_.refresh(); };
    const auto quitNow = [this] {
        if (quit_) {
            quit_();
        }
    };
    connect(settingsButton_, &QAbstractButton::clicked, this, toggleSettings);
    connect(refreshButton_, &QAbstractButton::clicked, this, refresh);
    connect(quitButton_, &QAbstractButton::clicked, this, quitNow);
    addShortcut(this, settingsKeys, toggleSettings);
    addShortcut(this, refreshKeys, refresh);
    addShortcut(this, quitKeys, quitNow);

    connect(rowList_, &RowList::contextMenuRequested, this, [this](const Listener& listener, QPoint position) {
        QMenu* menu = buildContextMenu(listener, this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        // The row that was under the pointer when the menu opened got no leave event.
        connect(menu, &QMenu::aboutToHide, this,
                [this] { QMetaObject::invokeMethod(rowList_, &RowList::syncHover, Qt::QueuedConnection); });
#ifdef VANTU_TEST_HOOKS
        Q_EMIT contextMenuShown(menu);
#endif
        menu->popup(position);
    });
    connect(rowList_, &RowList::openRequested, this,
            [this](const Listener& listener) { store_.openInBrowser(listener); });
    // While the list is on screen it follows the sockets as they open and close.
    liveWatch_ = new QTimer(this);
    liveWatch_->setInterval(kLiveWatchMilliseconds);
    connect(liveWatch_, &QTimer::timeout, this, [this] { store_.refreshIfSocketsChanged(); });
    connect(&store_, &PortStore::willChange, this, &PopoverView::scheduleRebuild);
    rebuild();
}

PopoverView::~PopoverView() = default;

#ifdef VANTU_TEST_HOOKS
bool PopoverView::isWatchingSockets() const {
    return liveWatch_->isActive();
}
#endif

void PopoverView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    liveWatch_->start();
    rowList_->syncHover();
}

void PopoverView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // No timer runs while the popover is hidden, and no look begun before counts.
    liveWatch_->stop();
    store_.stopFollowingSockets();
    rowList_->syncHover();
}

#ifdef VANTU_TEST_HOOKS
QList<PortRow*> PopoverView::rows() const {
    return rowList_->rows();
}
#endif

QMenu* PopoverView::buildContextMenu(const Listener& listener, QWidget* parent) {
    return RowMenu::build(store_, listener, parent);
}

void PopoverView::scheduleRebuild() {
    if (rebuildScheduled_) {
        return;
    }
    rebuildScheduled_ = true;
    // The store announces a change before making it: read it once the change is done.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (rebuildScheduled_) {
                rebuild();
            }
        },
        Qt::QueuedConnection);
}

void PopoverView::rebuild() {
    rebuildScheduled_ = false;
    spinner_->setVisible(store_.isRefreshing());
    updateRows();
    updateContent();
    updateErrorLine();
    updateFooter();
    updateFocusChain();
    Q_EMIT rebuilt();
}

void PopoverView::showContent(Content content, QWidget* panel, double height) {
    content_ = content;
    contentStack_->setCurrentWidget(panel);
    contentArea_->setFixedHeight(points(height));
}

void PopoverView::updateContent() {
    if (store_.showingDiscoverySettings()) {
        if (preferences_.isNull()) {
            preferences_ = new DiscoveryPreferencesView(
                store_.discoverySettings(),
                [this](const DiscoverySettings& settings) { store_.updateDiscoverySettings(settings); },
                [this] { store_.toggleDiscoverySettings(); }, contentArea_);
            preferences_->setObjectName(u"discoveryPreferences"_s);
            contentStack_->addWidget(preferences_);
            showContent(Content::discoverySettings, preferences_, store_.bodyHeight());
            // The keyboard goes with the panel, so that Escape leaves it and Tab walks it.
            preferences_->setFocus(Qt::ShortcutFocusReason);
            return;
        }
        showContent(Content::discoverySettings, preferences_, store_.bodyHeight());
        return;
    }
    if (!preferences_.isNull()) {
        // The keyboard goes back to the button that opened the panel, not on along the chain to Quit.
        if (preferences_->isAncestorOf(QApplication::focusWidget())) {
            settingsButton_->setFocus(Qt::OtherFocusReason);
        }
        // Closing the panel drops its edits: the next opening starts from the settings in force.
        contentStack_->removeWidget(preferences_);
        preferences_->hide();
        preferences_->deleteLater();
        preferences_ = nullptr;
    }
    const QList<Listener>& listeners = store_.listeners();
    if (listeners.isEmpty()) {
        statusPanel_->setAction(QString(), {});
        if (store_.isRefreshing()) {
            statusPanel_->setStatus(Symbol::network, tr("Scanning dev ports\u2026"));
        } else if (store_.lastScanFailed()) {
            statusPanel_->setStatus(Symbol::exclamationmarkTriangle, tr("Ports unavailable"));
        } else if (!store_.discoverySettings().automatic()) {
            statusPanel_->setStatus(Symbol::checkmarkCircle, tr("Automatic discovery is off"));
            statusPanel_->setAction(tr("Turn On Discovery"), [this] {
                const DiscoverySettings current = store_.discoverySettings();
                const auto turnedOn = DiscoverySettings::create(true, current.includedText(), current.excludedText());
                if (const auto* settings = std::get_if<DiscoverySettings>(&turnedOn)) {
                    store_.updateDiscoverySettings(*settings);
                }
            });
        } else {
            statusPanel_->setStatus(Symbol::checkmarkCircle, tr("No matching dev servers"));
        }
        showContent(Content::status, statusPanel_, store_.bodyHeight());
        return;
    }
    if (ListGeometry::needsScrolling(listeners.size())) {
        listArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        showContent(Content::scrollingList, listArea_, ListGeometry::ceiling);
    } else {
        listArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        listArea_->verticalScrollBar()->setValue(0);
        showContent(Content::list, listArea_, store_.bodyHeight());
    }
}

void PopoverView::updateRows() {
    QList<RowList::Entry> entries;
    entries.reserve(store_.listeners().size());
    for (const Listener& listener : store_.listeners()) {
        const StopTarget* offer = store_.forceTarget(listener);
        std::optional<QString> forceTarget;
        if (offer != nullptr && offer->kind() == StopTarget::Kind::processGroup) {
            const ProcessGroup& group = *offer->group();
            forceTarget = tr("%1 (%n processes)", nullptr, static_cast<int>(group.members.size()))
                              .arg(visible(group.leaderCommand));
        }
        entries.append({listener, store_.isStopping(listener), offer != nullptr,
                        [this, listener] { store_.stop(listener); }, forceTarget});
    }
    rowList_->setEntries(entries);
}

void PopoverView::updateFocusChain() {
    QList<QWidget*> order{this, settingsButton_, refreshButton_};
    switch (content_) {
        case Content::discoverySettings:
            order += FocusChain::tabStopsIn(preferences_);
            break;
        case Content::status:
            order += FocusChain::tabStopsIn(statusPanel_);
            break;
        case Content::scrollingList:
        case Content::list:
            order += rowList_->tabStops();
            break;
    }
    order.append(quitButton_);
    FocusChain::apply(order);
    // Focus left on a panel that went, or on the list without rows, would send the next Tab
    // wherever the panel sat in the chain.
    QWidget* focused = window()->focusWidget();
    if (focused == nullptr || focused == this || !isAncestorOf(focused)) {
        return;
    }
    const bool onList = focused == rowList_ && (content_ == Content::list || content_ == Content::scrollingList);
    const bool inPanel = content_ == Content::discoverySettings && preferences_->isAncestorOf(focused);
    if (!onList && !inPanel && !(order.contains(focused) && focused->isVisibleTo(this))) {
        setFocus(Qt::OtherFocusReason);
    }
}

void PopoverView::updateErrorLine() {
    const std::optional<QString>& message = store_.errorMessage();
    errorText_->setText(message.value_or(QString()));
    errorLine_->setToolTip(message ? Appearance::literalText(*message) : QString());
    errorLine_->setAccessibleName(message.value_or(QString()));
    errorText_->setAccessibleName(message.value_or(QString()));
    errorLine_->setVisible(message.has_value());
}

void PopoverView::updateFooter() {
    if (!store_.hasSnapshot()) {
        count_->setText(tr("Development ports"));
        count_->setAccessibleName(count_->text());
        return;
    }
    count_->setText(tr("%n dev ports", "the footer's count", static_cast<int>(store_.listeners().size())));
    count_->setAccessibleName(count_->text());
}

#ifdef VANTU_TEST_HOOKS
void PopoverView::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    Q_EMIT painted();
}
#endif

}  // namespace vantu
