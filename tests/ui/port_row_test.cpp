#include "ui/port_row.h"
#include "probe_style.h"
#include "ui/appearance.h"
#include "ui/elided_label.h"
#include "ui/port_badge.h"
#include "ui/spinner.h"
#include "ui/stop_button.h"
#include "ui/symbol_view.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QDateTime>
#include <QEnterEvent>
#include <QTest>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

using test::ownListener;
using test::projectListener;
using test::waitUntil;

struct RowHarness {
    explicit RowHarness(const Listener& listener, bool isStopping = false, bool canForce = false)
        : row(listener, isStopping, canForce, [this] { ++stops; }) {
        row.resize(290, 46);
    }
    int stops = 0;
    PortRow row;
};

void hover(QWidget& widget, bool inside) {
    if (inside) {
        QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(&widget, &enter);
    } else {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&widget, &leave);
    }
}

QAccessibleActionInterface* actionsOf(PortRow& row) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&row);
    return accessible != nullptr ? accessible->actionInterface() : nullptr;
}

TEST(PortRowTest, SlotShowsSpinnerThenButtonThenLock) {
    Listener protectedListener = ownListener(4312, 3000, u"node"_s);
    protectedListener.identity.reset();
    const struct {
        bool isStopping;
        bool canTerminate;
        PortRow::Slot expected;
    } cases[] = {
        {true, true, PortRow::Slot::spinner},
        // A stop under way wins over the lock.
        {true, false, PortRow::Slot::spinner},
        {false, true, PortRow::Slot::actionButton},
        {false, false, PortRow::Slot::lock},
    };
    for (const auto& c : cases) {
        RowHarness harness(c.canTerminate ? ownListener(4312, 3000, u"node"_s) : protectedListener, c.isStopping);
        harness.row.show();
        EXPECT_EQ(harness.row.slot(), c.expected) << c.isStopping << c.canTerminate;
        auto* spinner = harness.row.findChild<QWidget*>(u"stopSpinner"_s);
        auto* lock = harness.row.findChild<SymbolView*>(u"lockSymbol"_s);
        EXPECT_EQ(spinner->isVisible(), c.expected == PortRow::Slot::spinner);
        EXPECT_EQ(harness.row.actionButton()->isVisible(), c.expected == PortRow::Slot::actionButton);
        EXPECT_EQ(lock->isVisible(), c.expected == PortRow::Slot::lock);
        EXPECT_EQ(lock->symbol(), Symbol::lockFill);
        // The slot is 51 wide whatever it shows; a button not shown leaves its width to the name.
        EXPECT_EQ(harness.row.findChild<QWidget*>(u"actionSlot"_s)->width(),
                  c.expected == PortRow::Slot::actionButton ? 0 : 51);
    }
}

TEST(PortRowTest, LockExplainsItself) {
    Listener listener = ownListener(4312, 3000, u"postgres"_s);
    listener.identity->userID += 1;
    RowHarness harness(listener);
    EXPECT_EQ(harness.row.slot(), PortRow::Slot::lock);
    EXPECT_EQ(harness.row.findChild<SymbolView*>(u"lockSymbol"_s)->toolTip(),
              u"This process is protected or belongs to another user."_s);
}

TEST(PortRowTest, StopShowsOnlyUnderThePointer) {
    RowHarness harness(projectListener(4312, 5173, u"node"_s, u"my-app"_s));
    StopButton* button = harness.row.actionButton();
    EXPECT_EQ(button->text(), u"Stop"_s);
    EXPECT_FALSE(harness.row.showAction());
    EXPECT_EQ(button->opacity(), 0.0);
    EXPECT_TRUE(button->testAttribute(Qt::WA_TransparentForMouseEvents));

    hover(harness.row, true);
    EXPECT_TRUE(harness.row.isHovered());
    EXPECT_TRUE(harness.row.showAction());
    EXPECT_FALSE(button->testAttribute(Qt::WA_TransparentForMouseEvents));
    // It fades in rather than popping up.
    EXPECT_LT(button->opacity(), 1.0);
    EXPECT_TRUE(waitUntil([&] { return button->opacity() == 1.0 && harness.row.hoverProgress() == 1.0; }));

    hover(harness.row, false);
    EXPECT_FALSE(harness.row.showAction());
    EXPECT_TRUE(waitUntil([&] { return button->opacity() == 0.0 && harness.row.hoverProgress() == 0.0; }));
    EXPECT_TRUE(button->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST(PortRowTest, KeyboardFocusRevealsTheButton) {
    QWidget window;
    window.resize(290, 200);
    auto* row = new PortRow(
        ownListener(4312, 3000, u"node"_s), false, false, [] {}, &window);
    // Away from the pointer, which rests at the screen's corner.
    row->setGeometry(0, 120, 290, 46);
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(waitUntil([&] { return window.isActiveWindow(); }));
    row->actionButton()->setFocus(Qt::TabFocusReason);
    EXPECT_TRUE(waitUntil([&] { return row->actionFocused(); }));
    EXPECT_TRUE(row->showAction());
    EXPECT_TRUE(waitUntil([&] { return row->actionButton()->opacity() == 1.0; }));
    row->actionButton()->clearFocus();
    EXPECT_TRUE(waitUntil([&] { return !row->actionFocused() && row->actionButton()->opacity() == 0.0; }));
}

TEST(PortRowTest, FadesJumpToTheirEndWhenTheStyleTurnsAnimationsOff) {
    for (const int duration : {200, 0}) {
        test::ProbeStyle style(duration);
        RowHarness harness(ownListener(4312, 3000, u"node"_s));
        harness.row.setPalette(test::lightPalette());
        harness.row.setStyle(&style);
        harness.row.show();
        StopButton* button = harness.row.actionButton();

        hover(harness.row, true);
        if (duration > 0) {
            EXPECT_LT(button->opacity(), 1.0);
            continue;
        }
        EXPECT_EQ(button->opacity(), 1.0);
        EXPECT_EQ(harness.row.hoverProgress(), 1.0);
        // Drawn at full strength at once: the red is opaque.
        const QImage image = button->grab().toImage();
        EXPECT_TRUE(
            test::nearColour(image.pixelColor(4, button->height() / 2), Appearance::stopRed(button->palette())));

        hover(harness.row, false);
        EXPECT_EQ(button->opacity(), 0.0);
        EXPECT_EQ(harness.row.hoverProgress(), 0.0);
    }
}

TEST(PortRowTest, SpinnerStandsStillWhenTheStyleTurnsAnimationsOff) {
    test::ProbeStyle animated(200);
    test::ProbeStyle still(0);
    for (test::ProbeStyle* style : {&animated, &still}) {
        RowHarness harness(ownListener(4312, 3000, u"node"_s), true);
        auto* spinner = harness.row.findChild<Spinner*>(u"stopSpinner"_s);
        spinner->setStyle(style);
        harness.row.show();
        EXPECT_EQ(spinner->isAnimating(), style == &animated);
    }
    // The desktop turns animations off while a stop runs.
    RowHarness harness(ownListener(4312, 3000, u"node"_s), true);
    auto* spinner = harness.row.findChild<Spinner*>(u"stopSpinner"_s);
    harness.row.show();
    spinner->setStyle(&animated);
    EXPECT_TRUE(spinner->isAnimating());
    spinner->setStyle(&still);
    EXPECT_FALSE(spinner->isAnimating());
}

TEST(PortRowTest, ForceIsAlwaysShown) {
    RowHarness harness(projectListener(4312, 5173, u"node"_s, u"my-app"_s), false, true);
    harness.row.show();
    StopButton* button = harness.row.actionButton();
    EXPECT_EQ(button->text(), u"Force"_s);
    EXPECT_TRUE(harness.row.showAction());
    EXPECT_EQ(button->opacity(), 1.0);
    EXPECT_FALSE(button->testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(test::shownText(button->toolTip()), u"Force quit my-app (SIGKILL)"_s);
    EXPECT_EQ(harness.row.actionName(), u"Force quit"_s);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(harness.stops, 1);
}

TEST(PortRowTest, TooltipsAndAccessibleLabels) {
    RowHarness harness(projectListener(4312, 50000, u"node"_s, u"my-app"_s));
    const StopButton* button = harness.row.actionButton();
    const QString stopTip = test::shownText(button->toolTip());
    EXPECT_TRUE(stopTip.startsWith(u"Stop my-app"_s));
    EXPECT_EQ(stopTip.size(), u"Stop my-app"_s.size() + 10);
    // Five digits, never grouped.
    EXPECT_EQ(button->accessibleName(), u"Stop my-app, node, port 50000, PID 4312"_s);
    EXPECT_EQ(harness.row.findChild<PortBadge*>(u"portBadge"_s)->text(), u"50000"_s);
    EXPECT_TRUE(test::shownText(harness.row.findChild<QWidget*>(u"nameBlock"_s)->toolTip())
                    .startsWith(harness.row.listener().helpText()));
    EXPECT_EQ(harness.row.findChild<ElidedLabel*>(u"displayName"_s)->text(), u"my-app"_s);
    EXPECT_EQ(harness.row.findChild<ElidedLabel*>(u"detail"_s)->text(), QString::fromUtf8("node \xC2\xB7 PID 4312"));

    harness.row.setState(harness.row.listener(), false, true);
    EXPECT_EQ(button->accessibleName(), u"Force quit my-app, node, port 50000, PID 4312"_s);
}

// Enter on the focused row, a double click on it, and its accessibility action open the server;
// Enter on its Stop button still stops. The tooltip tells how long it has run and its memory.
TEST(PortRowTest, EnterADoubleClickAndTheAccessibilityActionOpenTheServer) {
    Listener listener = projectListener(4312, 5173, u"node"_s, u"my-app"_s);
    listener.identity->startSeconds = static_cast<uint64_t>(QDateTime::currentSecsSinceEpoch() - 8045);
    listener.residentBytes = 184'000'000;
    RowHarness harness(listener);
    int opens = 0;
    QObject::connect(&harness.row, &PortRow::openRequested, [&opens] { ++opens; });
    harness.row.show();
    EXPECT_TRUE(harness.row.accessibleDescription().contains(u"Enter"_s));
    harness.row.setFocus(Qt::TabFocusReason);
    QTest::keyClick(&harness.row, Qt::Key_Return);
    EXPECT_EQ(opens, 1);
    QTest::mouseDClick(&harness.row, Qt::LeftButton, {}, QPoint(120, 20));
    EXPECT_EQ(opens, 2);
    actionsOf(harness.row)->doAction(u"Open in Browser"_s);
    EXPECT_EQ(opens, 3);
    QTest::keyClick(harness.row.actionButton(), Qt::Key_Return);
    EXPECT_TRUE(opens == 3 && harness.stops == 1) << "Enter on the button stops";

    const QString tip = test::shownText(harness.row.findChild<QWidget*>(u"nameBlock"_s)->toolTip());
    EXPECT_TRUE(tip.contains(u"\nRunning for 2 h 14 min \u00B7 184 MB\n"_s)) << tip.toStdString();
}

TEST(PortRowTest, AccessibilityActionStopsOnlyWhenAllowed) {
    RowHarness harness(ownListener(4312, 3000, u"node"_s));
    QAccessibleActionInterface* actions = actionsOf(harness.row);
    ASSERT_NE(actions, nullptr);
    EXPECT_EQ(actions->actionNames(), (QStringList{u"Stop"_s, u"Open in Browser"_s}));
    actions->doAction(u"Stop"_s);
    EXPECT_EQ(harness.stops, 1);

    harness.row.setState(harness.row.listener(), true, false);
    actions->doAction(u"Stop"_s);
    EXPECT_EQ(harness.stops, 1) << "a stop under way is not repeated";

    harness.row.setState(harness.row.listener(), false, true);
    EXPECT_EQ(actions->actionNames(), (QStringList{u"Force quit"_s, u"Open in Browser"_s}));
    actions->doAction(u"Force quit"_s);
    EXPECT_EQ(harness.stops, 2);

    Listener protectedListener = harness.row.listener();
    protectedListener.identity.reset();
    harness.row.setState(protectedListener, false, false);
    actions->doAction(u"Stop"_s);
    EXPECT_EQ(harness.stops, 2) << "a protected process is never stopped";
}

TEST(PortRowTest, HiddenButtonTakesNoClicks) {
    RowHarness harness(ownListener(4312, 3000, u"node"_s));
    harness.row.show();
    QWidget* target = harness.row.childAt(harness.row.actionButton()->mapTo(&harness.row, QPoint(20, 10)));
    EXPECT_NE(target, harness.row.actionButton());
    hover(harness.row, true);
    target = harness.row.childAt(harness.row.actionButton()->mapTo(&harness.row, QPoint(20, 10)));
    EXPECT_EQ(target, harness.row.actionButton());
    QTest::mouseClick(harness.row.actionButton(), Qt::LeftButton);
    EXPECT_EQ(harness.stops, 1);
}

TEST(PortRowTest, HoverSurvivesNewState) {
    RowHarness harness(ownListener(4312, 3000, u"node"_s));
    hover(harness.row, true);
    Listener renamed = harness.row.listener();
    renamed.project = ProjectMetadata{u"site"_s, u"/srv/site"_s, {}, true, false};
    harness.row.setState(renamed, false, false);
    EXPECT_TRUE(harness.row.isHovered());
    EXPECT_TRUE(harness.row.showAction());
    EXPECT_EQ(harness.row.findChild<ElidedLabel*>(u"displayName"_s)->text(), u"site"_s);
}

TEST(PortRowTest, LongNamesAreCutInTheMiddle) {
    RowHarness harness(projectListener(4312, 3000, u"node"_s, u"a-very-long-project-name-that-cannot-fit-here"_s));
    harness.row.show();
    auto* name = harness.row.findChild<ElidedLabel*>(u"displayName"_s);
    ASSERT_TRUE(waitUntil([&] { return name->width() > 0; }));
    EXPECT_TRUE(name->isElided());
    ASSERT_EQ(name->visibleLines().size(), 1);
    // Both ends stay: names of one scope differ at their end.
    EXPECT_TRUE(name->visibleLines().front().contains(QChar(0x2026)));
    EXPECT_TRUE(name->visibleLines().front().startsWith(u"a-very"_s));
    EXPECT_TRUE(name->visibleLines().front().endsWith(u"here"_s));
    EXPECT_TRUE(test::shownText(harness.row.findChild<QWidget*>(u"nameBlock"_s)->toolTip()).startsWith(name->text()));
}

TEST(PortRowTest, ColoursFollowTheAppearance) {
    RowHarness harness(ownListener(4312, 3000, u"node"_s), false, true);
    auto* badge = harness.row.findChild<PortBadge*>(u"portBadge"_s);
    for (const QPalette& palette : {test::lightPalette(), test::darkPalette()}) {
        harness.row.setPalette(palette);
        const bool dark = Appearance::isDark(palette);
        EXPECT_DOUBLE_EQ(badge->fillOpacity(), dark ? 0.2 : 0.15);
        // Text and marks stay legible: 4.5:1 for text, 3:1 for the lock.
        const QColor window = palette.color(QPalette::Window);
        EXPECT_GE(Appearance::contrastRatio(Qt::white, Appearance::stopRed(palette)), 4.5) << dark;
        EXPECT_GE(Appearance::contrastRatio(Appearance::stopLabel(palette), Appearance::stopRed(palette)), 4.5) << dark;
        EXPECT_GE(Appearance::contrastRatio(Appearance::composite(Appearance::secondary(palette), window), window), 4.5)
            << dark;
        EXPECT_GE(Appearance::contrastRatio(Appearance::composite(Appearance::tertiary(palette), window), window), 3.0)
            << dark;
        QColor tint = Appearance::accent(palette);
        tint.setAlphaF(static_cast<float>(badge->fillOpacity()));
        const QColor behind = Appearance::composite(tint, window);
        EXPECT_GE(Appearance::contrastRatio(Appearance::readable(Appearance::accent(palette), behind), behind), 4.5)
            << dark;
        // Force is outlined: the window shows inside its frame, and its label reads at 4.5:1 there.
        const QImage force = harness.row.actionButton()->grab().toImage();
        EXPECT_EQ(force.pixelColor(4, force.height() / 2).rgb(), window.rgb()) << dark;
        double strongest = 1;
        for (int pixel = 0; pixel < force.width() * force.height(); ++pixel) {
            const QColor color = force.pixelColor(pixel % force.width(), pixel / force.width());
            strongest = std::max(strongest, Appearance::contrastRatio(color, window));
        }
        EXPECT_GE(strongest, 4.5) << dark;
    }
}

TEST(PortRowTest, MarkupInAProjectNameIsShownAsText) {
    const QString hostile = u"<span style=\"font-size:60px;color:red\">HUGE</span><img src=x>"_s;
    RowHarness harness(projectListener(4312, 3000, u"node"_s, hostile));
    const QString nameTip = harness.row.findChild<QWidget*>(u"nameBlock"_s)->toolTip();
    EXPECT_TRUE(test::shownText(nameTip).startsWith(hostile + u'\n')) << nameTip.toStdString();
    EXPECT_FALSE(nameTip.contains(u"<span"_s));
    EXPECT_TRUE(test::shownText(harness.row.actionButton()->toolTip()).contains(hostile));
    EXPECT_TRUE(test::shownText(nameTip).contains(u"choose the project folder"_s)) << "the row menu is mentioned";
}

TEST(PortRowTest, Screenshots) {
    for (const bool dark : {false, true}) {
        QWidget canvas;
        canvas.setPalette(dark ? test::darkPalette() : test::lightPalette());
        canvas.setAutoFillBackground(true);
        canvas.resize(290, 46 * 3);
        auto* hovered = new PortRow(
            projectListener(4312, 5173, u"node"_s, u"my-app"_s), false, false, [] {}, &canvas);
        hovered->setGeometry(0, 0, 290, 46);
        auto* forced = new PortRow(
            projectListener(4400, 3000, u"node"_s, u"api-server"_s), false, true, [] {}, &canvas);
        forced->setGeometry(0, 46, 290, 46);
        Listener other = ownListener(881, 50000, u"postgres"_s);
        other.identity->userID += 1;
        auto* locked = new PortRow(
            other, false, false, [] {}, &canvas);
        locked->setGeometry(0, 92, 290, 46);
        canvas.setFocusPolicy(Qt::StrongFocus);
        canvas.show();
        test::processEvents();
        canvas.setFocus();
        hover(*hovered, true);
        ASSERT_TRUE(waitUntil([&] { return hovered->actionButton()->opacity() == 1.0; }));
        test::saveScreenshot(canvas, dark ? u"rows-hover-force-lock-dark"_s : u"rows-hover-force-lock-light"_s);
    }
}

}  // namespace
}  // namespace vantu
