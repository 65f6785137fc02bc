#include "probe_style.h"
#include "ui/appearance.h"
#include "ui/plain_button.h"
#include "ui/stop_button.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <functional>

using namespace Qt::StringLiterals;

namespace vantu::test {
namespace {

struct ButtonKind {
    const char* name;
    std::function<QAbstractButton*(QWidget*)> make;
};

const ButtonKind kButtons[] = {
    {"stop",
     [](QWidget* parent) -> QAbstractButton* {
         auto* button = new StopButton(parent);
         button->setText(u"Stop"_s);
         button->setOpacity(1.0);
         return button;
     }},
    {"symbol",
     [](QWidget* parent) -> QAbstractButton* { return new PlainButton(Symbol::arrowClockwise, 13, 24, parent); }},
    {"text",
     [](QWidget* parent) -> QAbstractButton* {
         return new PlainButton(u"Quit"_s, Appearance::systemFont(10), parent);
     }},
};

// A window with a field before the button, so that Tab can move the focus to it as a person
// would.
struct Window {
    explicit Window(const ButtonKind& kind, const QPalette& palette = lightPalette()) {
        widget.setPalette(palette);
        widget.setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(&widget);
        field = new QLineEdit(&widget);
        layout->addWidget(field);
        button = kind.make(&widget);
        layout->addWidget(button);
    }
    QWidget widget;
    QLineEdit* field;
    QAbstractButton* button;
};

bool activate(QWidget& window) {
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    return waitUntil([&] { return window.isActiveWindow(); });
}

int countPixels(const QImage& image, const QColor& color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += image.pixelColor(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

// How strongly the button stands out: the highest contrast of any of its pixels, laid over
// the window, against the window.
double strongestContrast(QAbstractButton& button) {
    const QImage image = button.grab().toImage();
    const QColor window = button.palette().color(QPalette::Active, QPalette::Window);
    double strongest = 1.0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            strongest = std::max(strongest, Appearance::contrastRatio(Appearance::composite(pixel, window), window));
        }
    }
    return strongest;
}

TEST(ButtonTest, KeyboardFocusShowsTheStylesFocusFrame) {
    for (const ButtonKind& kind : kButtons) {
        ProbeStyle style;
        Window window(kind);
        window.button->setStyle(&style);
        ASSERT_TRUE(activate(window.widget)) << kind.name;
        window.field->setFocus(Qt::OtherFocusReason);
        ASSERT_TRUE(waitUntil([&] { return window.field->hasFocus(); })) << kind.name;
        EXPECT_EQ(countPixels(window.button->grab().toImage(), ProbeStyle::kFocusMarker), 0) << kind.name;

        QTest::keyClick(&window.widget, Qt::Key_Tab);
        ASSERT_TRUE(waitUntil([&] { return window.button->hasFocus(); })) << kind.name;
        const QImage focused = window.button->grab().toImage();
        EXPECT_GT(style.focusFrames(), 0) << kind.name;
        // The frame runs around the whole button.
        const QSize size = window.button->size();
        for (const QPoint corner : {QPoint(0, 0), QPoint(size.width() - 1, size.height() - 1)}) {
            EXPECT_EQ(focused.pixelColor(corner), ProbeStyle::kFocusMarker) << kind.name;
        }
        EXPECT_GE(countPixels(focused, ProbeStyle::kFocusMarker), 2 * (size.width() + size.height()) - 4) << kind.name;
    }
}

TEST(ButtonTest, DisabledButtonIsDimmedAndTakesNoClicks) {
    for (const ButtonKind& kind : kButtons) {
        Window window(kind);
        ASSERT_TRUE(activate(window.widget)) << kind.name;
        QSignalSpy clicks(window.button, &QAbstractButton::clicked);
        const double enabledContrast = strongestContrast(*window.button);
        QTest::mouseClick(window.button, Qt::LeftButton);
        EXPECT_EQ(clicks.size(), 1) << kind.name;

        window.button->setEnabled(false);
        const double disabledContrast = strongestContrast(*window.button);
        // An enabled control stands out at 3:1 at least; a disabled one clearly less.
        EXPECT_GE(enabledContrast, 3.0) << kind.name;
        EXPECT_LT(disabledContrast, 2.0) << kind.name;
        QTest::mouseClick(window.button, Qt::LeftButton);
        QTest::keyClick(window.button, Qt::Key_Space);
        EXPECT_EQ(clicks.size(), 1) << kind.name;
    }
}

TEST(ButtonTest, StopLabelTakesAPaletteColourThatReadsOnTheRed) {
    const auto withTexts = [](QPalette palette, const QColor& bright, const QColor& highlighted) {
        palette.setColor(QPalette::BrightText, bright);
        palette.setColor(QPalette::HighlightedText, highlighted);
        return palette;
    };
    const QColor ivory(255, 255, 235);
    const struct {
        const char* name;
        QPalette palette;
        QColor expected;
    } cases[] = {
        {"light", withTexts(lightPalette(), ivory, Qt::black), ivory},
        {"dark", withTexts(darkPalette(), ivory, Qt::black), ivory},
        // A dark theme that makes bright text red: the highlighted text reads instead.
        {"red bright text", withTexts(darkPalette(), Qt::red, ivory), ivory},
        // Neither role reads on the red: the nearest shade of the bright text that does.
        {"no role reads", withTexts(lightPalette(), QColor(255, 80, 80), QColor(250, 60, 60)), QColor()},
    };
    for (const auto& c : cases) {
        const QColor red = Appearance::stopRed(c.palette);
        const QColor label = Appearance::stopLabel(c.palette);
        EXPECT_GE(Appearance::contrastRatio(label, red), 4.5) << c.name;
        if (c.expected.isValid()) {
            EXPECT_EQ(label, c.expected) << c.name;
        }

        StopButton button;
        button.setText(u"Stop"_s);
        button.setOpacity(1.0);
        button.setPalette(c.palette);
        const QImage image = button.grab().toImage();
        // The red fills the button and the label is drawn on it in the chosen colour.
        EXPECT_TRUE(nearColour(image.pixelColor(4, button.height() / 2), red)) << c.name;
        EXPECT_GT(countPixels(image, label), 0) << c.name;
    }
}

TEST(ButtonTest, Screenshots) {
    // Each button focused from the keyboard and disabled, in the desktop's own style.
    for (const bool dark : {false, true}) {
        for (const ButtonKind& kind : kButtons) {
            Window window(kind, dark ? darkPalette() : lightPalette());
            window.widget.resize(120, 80);
            ASSERT_TRUE(activate(window.widget));
            window.field->setFocus(Qt::OtherFocusReason);
            QTest::keyClick(&window.widget, Qt::Key_Tab);
            ASSERT_TRUE(waitUntil([&] { return window.button->hasFocus(); }));
            const QString suffix = dark ? u"dark"_s : u"light"_s;
            saveScreenshot(window.widget, u"button-%1-focused-%2"_s.arg(QLatin1String(kind.name), suffix));
            window.button->setEnabled(false);
            saveScreenshot(window.widget, u"button-%1-disabled-%2"_s.arg(QLatin1String(kind.name), suffix));
        }
    }
}

}  // namespace
}  // namespace vantu::test
