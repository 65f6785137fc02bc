#include "ui/desktop_services.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>

namespace vantu {

Desktop desktopServices() {
    return Desktop{
        .openUrl = [](const QUrl& url) { return QDesktopServices::openUrl(url); },
        .copyText =
            [](const QString& text) {
                QClipboard* clipboard = QGuiApplication::clipboard();
                clipboard->setText(text, QClipboard::Clipboard);
                if (clipboard->supportsSelection()) {
                    clipboard->setText(text, QClipboard::Selection);
                }
            },
    };
}

}  // namespace vantu
