#include "ui/menu_bar_icon.h"
#include "ui/appearance.h"
#include "ui_test_support.h"

#include <gtest/gtest.h>

#include <QFontInfo>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// The box, in image points, that holds every pixel the drawing touched.
// Where, inside `area`, pixels of nearly `color` lie.
QRectF inkBox(const QImage& image, const QColor& color, const QRect& area) {
    QRect found;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor pixel = QColor::fromRgba(image.pixel(x, y));
            if (pixel.alpha() == 255 && std::abs(pixel.red() - color.red()) < 40 &&
                std::abs(pixel.green() - color.green()) < 40 && std::abs(pixel.blue() - color.blue()) < 40) {
                found |= QRect(x, y, 1, 1);
            }
        }
    }
    return QRectF(found);
}

QRectF inkBox(const QImage& image) {
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return {};
    }
    const double ratio = image.devicePixelRatio();
    return QRectF(left / ratio, top / ratio, (right - left + 1) / ratio, (bottom - top + 1) / ratio);
}

void expectFittedAndCentred(const MenuBarIcon& icon) {
    const QImage image = icon.image(8, Qt::black);
    ASSERT_EQ(image.size(), QSize(34 * 8, 18 * 8));
    const QRectF ink = inkBox(image);
    ASSERT_FALSE(ink.isEmpty());
    // Centred on (17, 9), within the antialiasing of one device pixel.
    EXPECT_NEAR(ink.center().x(), 17.0, 0.2);
    EXPECT_NEAR(ink.center().y(), 9.0, 0.2);
    // Inside the 30 × 12 box and touching it on one axis.
    EXPECT_LE(ink.width(), 30.2);
    EXPECT_LE(ink.height(), 12.2);
    EXPECT_TRUE(std::abs(ink.width() - 30) < 0.3 || std::abs(ink.height() - 12) < 0.3)
        << ink.width() << " x " << ink.height();
    // One scale for both axes: the drawn word keeps the outline's proportions.
    const QRectF outline = icon.outline().boundingRect();
    const double outlineRatio = outline.width() / outline.height();
    EXPECT_NEAR(ink.width() / ink.height() / outlineRatio, 1.0, 0.03);
}

TEST(MenuBarIconTest, WordIsFittedIntoTheBoxAndCentred) {
    const MenuBarIcon icon;
    expectFittedAndCentred(icon);
}

TEST(MenuBarIconTest, MissingFontFallsBackToTheHeavySystemFontAndStillFits) {
    const QFont fallback = Appearance::wordMarkFont(20);
    if (QFontInfo(QFont(u"Impact"_s)).family() != u"Impact"_s) {
        EXPECT_EQ(fallback.weight(), QFont::Black);
    } else {
        EXPECT_EQ(QFontInfo(fallback).family(), u"Impact"_s);
    }
    QFont narrow(u"DejaVu Sans Condensed"_s);
    narrow.setPixelSize(20);
    expectFittedAndCentred(MenuBarIcon(narrow));
}

TEST(MenuBarIconTest, GlyphsFollowEachOtherByTheirAdvances) {
    const MenuBarIcon icon;
    const QRectF bounds = icon.outline().boundingRect();
    // Five capitals side by side: far wider than tall, starting near the pen's origin.
    EXPECT_GT(bounds.width(), 2.5 * bounds.height());
    EXPECT_LT(bounds.left(), 3.0);
    EXPECT_EQ(icon.outline().fillRule(), Qt::WindingFill);
}

TEST(MenuBarIconTest, EmptyOutlineDrawsNothing) {
    QImage image(34, 18, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    EXPECT_FALSE(MenuBarIcon::paintOutline(painter, QPainterPath(), Qt::black));
    QPainterPath line;
    line.moveTo(0, 0);
    line.lineTo(10, 0);
    EXPECT_FALSE(MenuBarIcon::paintOutline(painter, line, Qt::black));
    painter.end();
    EXPECT_TRUE(inkBox(image).isEmpty());
}

TEST(MenuBarIconTest, ColourContrastsWithThePanel) {
    EXPECT_EQ(MenuBarIcon::colorFor(test::lightPalette()), QColor(Qt::black));
    EXPECT_EQ(MenuBarIcon::colorFor(test::darkPalette()), QColor(Qt::white));
    const MenuBarIcon icon;
    const QImage light = icon.image(1, MenuBarIcon::colorFor(test::darkPalette()));
    const QPoint centre(17, 9);
    // Somewhere near the centre the word is drawn in the chosen colour.
    bool found = false;
    for (int x = 3; x < 31 && !found; ++x) {
        const QRgb pixel = light.pixel(x, centre.y());
        found = qAlpha(pixel) == 255 && qRed(pixel) == 255;
    }
    EXPECT_TRUE(found);
}

TEST(MenuBarIconTest, TrayIconIsSquareWithTheWordAcrossItsWidth) {
    const MenuBarIcon icon;
    const QIcon tray = icon.trayIcon(Qt::black);
    ASSERT_TRUE(tray.availableSizes().contains(QSize(22, 22)));
    const QImage square = tray.pixmap(QSize(22, 22)).toImage();
    const QRectF ink = inkBox(square);
    EXPECT_NEAR(ink.center().x(), 11.0, 0.6);
    EXPECT_NEAR(ink.center().y(), 11.0, 0.6);
    EXPECT_LE(ink.width(), 22.0 * 30 / 34 + 1);
}

TEST(MenuBarIconTest, TheTrayMonogramReadsOnLightAndDarkPanels) {
    const MenuBarIcon icon;
    const QColor panels[] = {QColor(246, 245, 244), QColor(236, 236, 236), QColor(40, 40, 42), QColor(0, 0, 0)};
    for (const QColor& panel : panels) {
        // Against any panel, either the badge or its ring stands out at 3:1 or more.
        const double edge = std::max(Appearance::contrastRatio(MenuBarIcon::monogramBadge(), panel),
                                     Appearance::contrastRatio(MenuBarIcon::monogramRing(), panel));
        EXPECT_GE(edge, 3.0) << panel.name().toStdString();
    }
    EXPECT_GE(Appearance::contrastRatio(MenuBarIcon::monogramRing(), MenuBarIcon::monogramBadge()), 7.0);
    const QIcon tray = icon.trayMonogram();
    for (const int side : {16, 22, 24}) {
        ASSERT_TRUE(tray.availableSizes().contains(QSize(side, side))) << side;
        const QImage square = icon.monogramImage(side);
        // The letter fills more than half the height, not a fifth as a five-letter word would.
        const QRectF letter = inkBox(square, MenuBarIcon::monogramRing(), QRect(2, 2, side - 4, side - 4));
        EXPECT_GE(letter.height(), side * 0.5) << side;
        for (const bool dark : {false, true}) {
            QImage panel(side * 3, side + 8, QImage::Format_ARGB32_Premultiplied);
            panel.fill(dark ? QColor(40, 40, 42) : QColor(246, 245, 244));
            QPainter painter(&panel);
            painter.drawImage(QPoint(side, 4), square);
            painter.end();
            test::saveScreenshot(panel.scaled(panel.size() * 4),
                                 u"tray-monogram-%1px-%2"_s.arg(side).arg(dark ? u"dark"_s : u"light"_s));
        }
    }
}

TEST(MenuBarIconTest, Screenshots) {
    const MenuBarIcon icon;
    for (const qreal ratio : {1.0, 2.0}) {
        for (const bool dark : {false, true}) {
            QImage canvas((QSizeF(34, 18) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
            canvas.setDevicePixelRatio(ratio);
            canvas.fill(dark ? QColor(40, 40, 42) : QColor(236, 236, 236));
            QPainter painter(&canvas);
            const QPalette palette = dark ? test::darkPalette() : test::lightPalette();
            EXPECT_TRUE(icon.paint(painter, MenuBarIcon::colorFor(palette)));
            painter.end();
            test::saveScreenshot(canvas, u"tray-icon-%1x-%2"_s.arg(ratio).arg(dark ? u"dark"_s : u"light"_s));
        }
    }
}

}  // namespace
}  // namespace vantu
