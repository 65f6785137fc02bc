#pragma once

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPainterPath>
#include <QPalette>
#include <QPointF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace vantu {

// The tray's word-mark: "VANTU" built from the glyph outlines of the font, scaled as large as
// it fits a 30 × 12 box and centred in a 34 × 18 image. The outline is built once; every
// drawing only transforms and fills it.
class MenuBarIcon {
public:
    static constexpr QSizeF kImageSize{34, 18};
    static constexpr QSizeF kFitBox{30, 12};
    static constexpr QPointF kCentre{17, 9};
    static constexpr int kFontSize = 20;

    // "Impact" at 20 when installed, otherwise the heaviest system font.
    MenuBarIcon();
    explicit MenuBarIcon(const QFont& font);

#ifdef VANTU_TEST_HOOKS
    // Every glyph of the word, each shifted right by the advances of the glyphs before it.
    [[nodiscard]] const QPainterPath& outline() const {
        return outline_;
    }
#endif

    // Draws the word into the 34 × 18 area at the painter's origin. False, drawing nothing,
    // when the outline is empty.
    bool paint(QPainter& painter, const QColor& color) const;
    // The same for any outline: fitted into the box and centred on the image's centre.
    static bool paintOutline(QPainter& painter, const QPainterPath& outline, const QColor& color);
    // The 34 × 18 image at the given device pixel ratio.
    [[nodiscard]] QImage image(qreal devicePixelRatio, const QColor& color) const;
    // Trays show square icons: the image is fitted into squares of the usual tray sizes.
    [[nodiscard]] QIcon trayIcon(const QColor& color) const;

    // What the tray shows: at 16 to 24 pixels a word is illegible, so a bold "V" in white on a
    // dark badge ringed in white, which reads on light and dark panels alike whatever colours
    // the panel reports. One image for each usual tray size.
    [[nodiscard]] QIcon trayMonogram() const;
    [[nodiscard]] QImage monogramImage(int side) const;
    // The badge and its ring, for checks of contrast against a panel.
    static QColor monogramBadge();
    static QColor monogramRing();

    // The word in black on a light panel and in white on a dark one; on Linux the tray does
    // not recolour a mask image the way a template image is recoloured.
    static QColor colorFor(const QPalette& palette);
    static QString accessibleDescription();

private:
    QPainterPath outline_;
    QPainterPath monogram_;
};

}  // namespace vantu
