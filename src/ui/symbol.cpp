#include "ui/symbol.h"

#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

using namespace Qt::StringLiterals;

namespace vantu::Symbols {
namespace {

// A theme icon tinted to `color`, or a null image when the theme has none that renders.
QImage themeImage(Symbol symbol, const QSize& pixels, const QColor& color) {
    for (const QString& themeName : themeNames(symbol)) {
        const QIcon icon = QIcon::fromTheme(themeName);
        if (icon.isNull()) {
            continue;
        }
        QImage image = icon.pixmap(pixels).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) {
            continue;
        }
        QPainter tint(&image);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        tint.fillRect(image.rect(), color);
        return image;
    }
    return {};
}

QPointF onCircle(QPointF centre, double radius, double degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    return {centre.x() + radius * std::cos(radians), centre.y() - radius * std::sin(radians)};
}

}  // namespace

QString name(Symbol symbol) {
    switch (symbol) {
        case Symbol::arrowClockwise:
            return u"arrow.clockwise"_s;
        case Symbol::sliderHorizontal3:
            return u"slider.horizontal.3"_s;
        case Symbol::network:
            return u"network"_s;
        case Symbol::checkmarkCircle:
            return u"checkmark.circle"_s;
        case Symbol::lockFill:
            return u"lock.fill"_s;
        case Symbol::exclamationmarkTriangle:
            return u"exclamationmark.triangle"_s;
    }
    return {};
}

QStringList themeNames(Symbol symbol) {
    switch (symbol) {
        case Symbol::arrowClockwise:
            return {u"view-refresh-symbolic"_s, u"view-refresh"_s};
        case Symbol::sliderHorizontal3:
            return {u"configure-symbolic"_s, u"preferences-other-symbolic"_s, u"configure"_s, u"preferences-system"_s};
        case Symbol::network:
            return {u"network-workgroup-symbolic"_s, u"network-wired-symbolic"_s, u"network-workgroup"_s,
                    u"network-wired"_s};
        case Symbol::checkmarkCircle:
            return {u"emblem-ok-symbolic"_s, u"object-select-symbolic"_s, u"emblem-ok"_s, u"object-select"_s};
        case Symbol::lockFill:
            return {u"object-locked-symbolic"_s, u"changes-prevent-symbolic"_s, u"object-locked"_s,
                    u"changes-prevent"_s};
        case Symbol::exclamationmarkTriangle:
            return {u"dialog-warning-symbolic"_s, u"dialog-warning"_s};
    }
    return {};
}

void paint(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, double weight) {
    const qreal ratio = painter.device() != nullptr ? painter.device()->devicePixelRatioF() : 1.0;
    const QSize pixels(static_cast<int>(std::lround(box.width() * ratio)),
                       static_cast<int>(std::lround(box.height() * ratio)));
    if (!pixels.isEmpty()) {
        const QImage themed = themeImage(symbol, pixels, color);
        if (!themed.isNull()) {
            painter.drawImage(box, themed);
            return;
        }
    }
    paintFallback(painter, symbol, box, color, weight);
}

void paintFallback(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color, double weight) {
    const double side = std::min(box.width(), box.height());
    if (side <= 0) {
        return;
    }
    // All glyphs are drawn in a unit square centred in the box.
    const QRectF unit(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    const auto at = [&](double x, double y) { return QPointF(unit.left() + x * side, unit.top() + y * side); };
    const double stroke = std::max(1.0, side * 0.085 * weight);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);

    switch (symbol) {
        case Symbol::arrowClockwise: {
            const QPointF centre = at(0.5, 0.54);
            const double radius = side * 0.36;
            QPainterPath arc;
            arc.moveTo(onCircle(centre, radius, 60));
            arc.arcTo(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), 60, -300);
            painter.drawPath(arc);
            // The head sits at the arc's end, pointing the way the arc turns.
            const double endAngle = 120 * std::numbers::pi / 180.0;
            const QPointF tip = onCircle(centre, radius, 120);
            const QPointF forward(std::sin(endAngle), std::cos(endAngle));
            const QPointF across(-forward.y(), forward.x());
            const double head = side * 0.2;
            QPolygonF arrow;
            arrow << tip + forward * head << tip + across * head * 0.8 << tip - across * head * 0.8;
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawPolygon(arrow);
            break;
        }
        case Symbol::sliderHorizontal3: {
            const double rows[] = {0.2, 0.5, 0.8};
            const double knobs[] = {0.68, 0.32, 0.56};
            for (int i = 0; i < 3; ++i) {
                painter.drawLine(at(0.06, rows[i]), at(0.94, rows[i]));
            }
            painter.setBrush(color);
            for (int i = 0; i < 3; ++i) {
                painter.drawEllipse(at(knobs[i], rows[i]), side * 0.09, side * 0.09);
            }
            break;
        }
        case Symbol::network: {
            const QPointF centre = at(0.5, 0.5);
            const double radius = side * 0.44;
            painter.drawEllipse(centre, radius, radius);
            painter.drawEllipse(centre, radius * 0.42, radius);
            painter.drawLine(at(0.06, 0.5), at(0.94, 0.5));
            const double chord = std::sqrt(radius * radius - (0.22 * side) * (0.22 * side)) / side;
            painter.drawLine(at(0.5 - chord, 0.28), at(0.5 + chord, 0.28));
            painter.drawLine(at(0.5 - chord, 0.72), at(0.5 + chord, 0.72));
            break;
        }
        case Symbol::exclamationmarkTriangle: {
            QPainterPath triangle;
            triangle.moveTo(at(0.5, 0.08));
            triangle.lineTo(at(0.94, 0.88));
            triangle.lineTo(at(0.06, 0.88));
            triangle.closeSubpath();
            painter.drawPath(triangle);
            painter.drawLine(at(0.5, 0.36), at(0.5, 0.62));
            painter.setBrush(color);
            painter.drawEllipse(at(0.5, 0.75), side * 0.04, side * 0.04);
            break;
        }
        case Symbol::checkmarkCircle: {
            painter.drawEllipse(at(0.5, 0.5), side * 0.44, side * 0.44);
            QPainterPath check;
            check.moveTo(at(0.3, 0.52));
            check.lineTo(at(0.44, 0.66));
            check.lineTo(at(0.7, 0.36));
            painter.drawPath(check);
            break;
        }
        case Symbol::lockFill: {
            QPainterPath shackle;
            shackle.moveTo(at(0.31, 0.5));
            shackle.lineTo(at(0.31, 0.3));
            shackle.arcTo(QRectF(at(0.31, 0.08), at(0.69, 0.46)), 180, -180);
            shackle.lineTo(at(0.69, 0.5));
            pen.setWidthF(std::max(1.0, side * 0.11 * weight));
            painter.setPen(pen);
            painter.drawPath(shackle);
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawRoundedRect(QRectF(at(0.16, 0.44), at(0.84, 0.96)), side * 0.08, side * 0.08);
            break;
        }
    }
    painter.restore();
}

}  // namespace vantu::Symbols
