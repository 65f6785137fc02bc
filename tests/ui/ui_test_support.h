#pragma once

#include "core/listener.h"

#include <QPalette>
#include <QString>

#include <chrono>
#include <functional>
#include <ostream>

class QWidget;
class QImage;

namespace vantu::test {

// Processes events until `condition` holds or `limit` passes; returns whether it held.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(5));
// Lets queued work of the event loop run (zero-length timers, deferred deletes).
void processEvents();

// Whether two colours match to within `tolerance` in each 8-bit channel: a computed colour
// and the pixel it was painted as can differ by rounding.
bool nearColour(const QColor& a, const QColor& b, int tolerance = 1);

QPalette lightPalette();
// What a tooltip or label that may hold markup shows a person.
QString shownText(const QString& markup);
QPalette darkPalette();

// Saves the widget's rendering as <build>/screenshots/<name>.png; returns the path.
QString saveScreenshot(QWidget& widget, const QString& name);
QString saveScreenshot(const QImage& image, const QString& name);

// A listener of the user's own, so it can be stopped.
Listener ownListener(int32_t pid, uint16_t port, const QString& command);
// The same with a project from a package.json.
Listener projectListener(int32_t pid, uint16_t port, const QString& command, const QString& projectName);

}  // namespace vantu::test

// Readable test failures for texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
