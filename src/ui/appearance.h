#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

namespace vantu {

// Colours by role and the fonts of the popover, derived from the current palette so that the
// views follow a light or dark desktop.
//
// Font sizes are in device-independent pixels, the unit of every other length in the popover,
// so text keeps its proportion to the fixed bar heights whatever DPI the desktop reports.
namespace Appearance {

// A dark appearance is one whose window background is dark.
bool isDark(const QPalette& palette);

enum class Level { primary, secondary, tertiary };

// Label colours of the first, second and third level.
QColor label(const QPalette& palette, Level level);
QColor primary(const QPalette& palette);
QColor secondary(const QPalette& palette);
QColor tertiary(const QPalette& palette);
// The user's highlight colour stands in for the system accent colour.
QColor accent(const QPalette& palette);
// The opaque red of the stop button, slightly lighter on dark backgrounds.
QColor stopRed(const QPalette& palette);
// The label on that red: the palette's bright or highlighted text, whichever reads at 4.5:1.
QColor stopLabel(const QPalette& palette);

// The WCAG contrast ratio of two opaque colours, from 1 to 21.
double contrastRatio(const QColor& a, const QColor& b);
// `color` over `background`, as one opaque colour.
QColor composite(const QColor& color, const QColor& background);
// `text`, darkened or lightened just enough to reach `ratio` against `background`.
QColor readable(const QColor& text, const QColor& background, double ratio = 4.5);

// Text that may come from anyone (a package.json name, a folder, a command), for a tooltip or
// a label that would guess at rich text: it shows literally, never interpreted as markup.
QString literalText(const QString& text);

QFont systemFont(int pixelSize, QFont::Weight weight = QFont::Normal);
QFont monospacedFont(int pixelSize, QFont::Weight weight = QFont::Normal);
// "Impact" when installed, otherwise the heaviest weight of the system font.
QFont wordMarkFont(int pixelSize);

}  // namespace Appearance
}  // namespace vantu
