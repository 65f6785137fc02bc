#include "ui_test_support.h"

#include <QTextDocumentFragment>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>
#include <QWidget>

#include <unistd.h>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace vantu::test {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > limit.count()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

void processEvents() {
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

QString shownText(const QString& markup) {
    return Qt::mightBeRichText(markup) ? QTextDocumentFragment::fromHtml(markup).toPlainText() : markup;
}

bool nearColour(const QColor& a, const QColor& b, int tolerance) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance && std::abs(a.alpha() - b.alpha()) <= tolerance;
}

namespace {

// Desktop palettes grey out the text of disabled controls.
void setDisabledText(QPalette& palette, const QColor& color) {
    for (const QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, color);
    }
}

}  // namespace

QPalette lightPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(246, 246, 246));
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0, 217));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::AlternateBase, QColor(240, 240, 240));
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::Button, QColor(240, 240, 240));
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 100));
    palette.setColor(QPalette::Highlight, QColor(0, 122, 255));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    setDisabledText(palette, QColor(190, 190, 190));
    return palette;
}

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(40, 40, 42));
    palette.setColor(QPalette::WindowText, QColor(255, 255, 255, 217));
    palette.setColor(QPalette::Base, QColor(30, 30, 30));
    palette.setColor(QPalette::AlternateBase, QColor(50, 50, 52));
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Button, QColor(60, 60, 62));
    palette.setColor(QPalette::ButtonText, Qt::white);
    palette.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 100));
    palette.setColor(QPalette::Highlight, QColor(10, 132, 255));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(60, 60, 62));
    palette.setColor(QPalette::ToolTipText, Qt::white);
    setDisabledText(palette, QColor(105, 105, 105));
    return palette;
}

QString saveScreenshot(const QImage& image, const QString& name) {
    const QString folder = QStringLiteral(VANTU_SCREENSHOT_DIR);
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name + u".png"_s;
    image.save(path);
    return path;
}

QString saveScreenshot(QWidget& widget, const QString& name) {
    return saveScreenshot(widget.grab().toImage(), name);
}

Listener ownListener(int32_t pid, uint16_t port, const QString& command) {
    const ProcessIdentity identity{pid, static_cast<uint32_t>(::getuid()), 1'700'000'000, 42};
    return Listener{
        .pid = pid, .port = port, .command = command, .identity = identity, .project = {}, .workingDirectory = {}};
}

Listener projectListener(int32_t pid, uint16_t port, const QString& command, const QString& projectName) {
    Listener listener = ownListener(pid, port, command);
    const QString folder = u"/home/dev/"_s + projectName;
    listener.workingDirectory = folder;
    listener.project = ProjectMetadata{projectName, folder, folder + u"/package.json"_s, true, false};
    return listener;
}

}  // namespace vantu::test
