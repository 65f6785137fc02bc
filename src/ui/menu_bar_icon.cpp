#include "ui/menu_bar_icon.h"

#include "ui/appearance.h"

#include <QCoreApplication>
#include <QPainter>
#include <QRawFont>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

const QString kWord = u"VANTU"_s;

}  // namespace

MenuBarIcon::MenuBarIcon() : MenuBarIcon(Appearance::wordMarkFont(kFontSize)) {}

MenuBarIcon::MenuBarIcon(const QFont& font) {
    const QRawFont raw = QRawFont::fromFont(font);
    // A character the font cannot map keeps glyph 0; only the advances place the glyphs, no
    // kerning.
    const QList<quint32> glyphs = raw.glyphIndexesForString(kWord);
    const QList<QPointF> advances =
        raw.advancesForGlyphIndexes(glyphs, QRawFont::SeparateAdvances | QRawFont::UseDesignMetrics);
    double x = 0;
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        const QPainterPath glyph = raw.pathForGlyph(glyphs[i]);
        if (!glyph.isEmpty()) {
            outline_.addPath(glyph.translated(x, 0));
        }
        x += i < advances.size() ? advances[i].x() : 0;
    }
    outline_.setFillRule(Qt::WindingFill);
    if (!glyphs.isEmpty()) {
        monogram_ = raw.pathForGlyph(glyphs.front());
        monogram_.setFillRule(Qt::WindingFill);
    }
}

QColor MenuBarIcon::monogramBadge() {
    return {0x23, 0x27, 0x33};
}

QColor MenuBarIcon::monogramRing() {
    return {0xf2, 0xf4, 0xf8};
}

QImage MenuBarIcon::monogramImage(int side) const {
    QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter painter(&square);
    painter.setRenderHint(QPainter::Antialiasing);
    // A one-pixel ring at the smallest sizes, a little more above.
    const double ring = side <= 24 ? 1.0 : side / 24.0;
    const QRectF badge = QRectF(0, 0, side, side).adjusted(ring / 2, ring / 2, -ring / 2, -ring / 2);
    painter.setPen(QPen(monogramRing(), ring));
    painter.setBrush(monogramBadge());
    painter.drawRoundedRect(badge, side * 0.22, side * 0.22);
    const QRectF bounds = monogram_.boundingRect();
    if (bounds.width() > 0 && bounds.height() > 0) {
        const double glyphHeight = side * 0.58;
        const double scale = std::min(glyphHeight / bounds.height(), side * 0.62 / bounds.width());
        painter.translate(side / 2.0, side / 2.0);
        painter.scale(scale, scale);
        painter.translate(-bounds.center());
        painter.fillPath(monogram_, monogramRing());
    }
    painter.end();
    return square;
}

QIcon MenuBarIcon::trayMonogram() const {
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 44, 48, 64}) {
        icon.addPixmap(QPixmap::fromImage(monogramImage(side)));
    }
    return icon;
}

bool MenuBarIcon::paint(QPainter& painter, const QColor& color) const {
    return paintOutline(painter, outline_, color);
}

bool MenuBarIcon::paintOutline(QPainter& painter, const QPainterPath& outline, const QColor& color) {
    const QRectF bounds = outline.boundingRect();
    if (!(bounds.width() > 0) || !(bounds.height() > 0)) {
        return false;
    }
    // One scale for both axes: the word fills the box by width or by height, never stretched.
    const double scale = std::min(kFitBox.height() / bounds.height(), kFitBox.width() / bounds.width());
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(kCentre);
    painter.scale(scale, scale);
    painter.translate(-bounds.center());
    painter.fillPath(outline, color);
    painter.restore();
    return true;
}

QImage MenuBarIcon::image(qreal devicePixelRatio, const QColor& color) const {
    const QSize pixels = (kImageSize * devicePixelRatio).toSize();
    QImage result(pixels, QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(devicePixelRatio);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    paint(painter, color);
    return result;
}

QIcon MenuBarIcon::trayIcon(const QColor& color) const {
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 44, 48, 64}) {
        QImage square(side, side, QImage::Format_ARGB32_Premultiplied);
        square.fill(Qt::transparent);
        QPainter painter(&square);
        const double scale = side / kImageSize.width();
        painter.translate(0, (side - kImageSize.height() * scale) / 2);
        painter.scale(scale, scale);
        paint(painter, color);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(square));
    }
    return icon;
}

QColor MenuBarIcon::colorFor(const QPalette& palette) {
    return Appearance::isDark(palette) ? QColor(Qt::white) : QColor(Qt::black);
}

QString MenuBarIcon::accessibleDescription() {
    return QCoreApplication::translate("MenuBarIcon", "%1 word mark").arg(kWord);
}

}  // namespace vantu
