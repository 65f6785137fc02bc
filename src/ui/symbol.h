#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace vantu {

// The small monochrome glyphs of the popover. The desktop's icon theme supplies them when it
// has an icon of the same meaning; otherwise they are painted here, so they never go missing.
enum class Symbol { arrowClockwise, sliderHorizontal3, network, checkmarkCircle, lockFill, exclamationmarkTriangle };

namespace Symbols {

// The glyph's name in the symbol vocabulary the design uses ("arrow.clockwise"…).
QString name(Symbol symbol);
// Icon theme names of the same meaning, best first.
QStringList themeNames(Symbol symbol);

// Draws the symbol into `box` in one colour. `weight` scales the stroke: 1 is regular, below
// is lighter, above heavier. A theme icon is reduced to its shape and filled with `color`.
void paint(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, double weight = 1.0);
// The glyph as drawn without the icon theme.
void paintFallback(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, double weight = 1.0);

}  // namespace Symbols
}  // namespace vantu
