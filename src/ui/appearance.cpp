#include "ui/appearance.h"

#include <QFontDatabase>
#include <QFontInfo>

using namespace Qt::StringLiterals;

namespace vantu::Appearance {
namespace {

QColor withAlpha(QColor color, double alpha) {
    color.setAlphaF(static_cast<float>(alpha));
    return color;
}

}  // namespace

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor primary(const QPalette& palette) {
    return palette.color(QPalette::WindowText);
}

QColor secondary(const QPalette& palette) {
    return withAlpha(primary(palette), isDark(palette) ? 0.55 : 0.5);
}

QColor tertiary(const QPalette& palette) {
    return withAlpha(primary(palette), isDark(palette) ? 0.25 : 0.26);
}

QColor label(const QPalette& palette, Level level) {
    switch (level) {
        case Level::primary:
            return primary(palette);
        case Level::secondary:
            return secondary(palette);
        case Level::tertiary:
            return tertiary(palette);
    }
    return primary(palette);
}

QColor accent(const QPalette& palette) {
    return palette.color(QPalette::Highlight);
}

QColor stopRed(const QPalette& palette) {
    return isDark(palette) ? QColor(255, 69, 58) : QColor(255, 59, 48);
}

QFont systemFont(int pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont monospacedFont(int pixelSize, QFont::Weight weight) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QFont wordMarkFont(int pixelSize) {
    const QString impact = u"Impact"_s;
    QFont font(impact);
    font.setPixelSize(pixelSize);
    // Font matching always answers with some face; only the family tells whether it is Impact.
    if (QFontInfo(font).family().compare(impact, Qt::CaseInsensitive) == 0) {
        return font;
    }
    return systemFont(pixelSize, QFont::Black);
}

}  // namespace vantu::Appearance
