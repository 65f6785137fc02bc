#include "ui/appearance.h"

#include <QFontDatabase>
#include <QFontInfo>

#include <algorithm>
#include <cmath>

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

// The strengths keep secondary text at 4.5:1 and tertiary marks at 3:1 or more on the
// window background of common light and dark themes.
QColor secondary(const QPalette& palette) {
    return withAlpha(primary(palette), isDark(palette) ? 0.68 : 0.66);
}

QColor tertiary(const QPalette& palette) {
    return withAlpha(primary(palette), isDark(palette) ? 0.5 : 0.5);
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
    // Deep enough for its white label to read at 4.5:1.
    return readable(isDark(palette) ? QColor(255, 69, 58) : QColor(255, 59, 48), Qt::white);
}

namespace {

double luminance(const QColor& color) {
    const auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(static_cast<double>(color.redF())) + 0.7152 * channel(static_cast<double>(color.greenF())) +
           0.0722 * channel(static_cast<double>(color.blueF()));
}

}  // namespace

double contrastRatio(const QColor& a, const QColor& b) {
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor composite(const QColor& color, const QColor& background) {
    const auto alpha = static_cast<double>(color.alphaF());
    const auto mix = [alpha](float top, float bottom) {
        return static_cast<float>(static_cast<double>(top) * alpha + static_cast<double>(bottom) * (1.0 - alpha));
    };
    return QColor::fromRgbF(mix(color.redF(), background.redF()), mix(color.greenF(), background.greenF()),
                            mix(color.blueF(), background.blueF()));
}

QColor readable(const QColor& text, const QColor& background, double ratio) {
    // Towards black on a light background, towards white on a dark one, in small steps.
    const bool darken = luminance(background) > 0.18;
    QColor candidate = text;
    candidate.setAlpha(255);
    for (int step = 0; step < 100 && contrastRatio(candidate, background) < ratio; ++step) {
        candidate = darken ? candidate.darker(105) : candidate.lighter(106);
        if (!darken && candidate.lightness() >= 250) {
            candidate = QColor(Qt::white);
        }
    }
    return candidate;
}

QColor stopLabel(const QPalette& palette) {
    const QColor red = stopRed(palette);
    for (const QPalette::ColorRole role : {QPalette::BrightText, QPalette::HighlightedText}) {
        QColor label = palette.color(role);
        label.setAlpha(255);
        if (contrastRatio(label, red) >= 4.5) {
            return label;
        }
    }
    // Some themes tint both roles (a red bright text is common): the nearest shade that reads.
    return readable(palette.color(QPalette::BrightText), red);
}

QString literalText(const QString& text) {
    return u"<p style='white-space:pre-wrap'>"_s + text.toHtmlEscaped() + u"</p>"_s;
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
