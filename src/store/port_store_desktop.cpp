// The store's operations that hand a server or its folder to the desktop: the browser, the
// clipboard and the file manager.
#include "store/port_store.h"

#include "store/settled.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QPointer>

namespace vantu {

void PortStore::setDesktop(Desktop desktop) {
    desktop_ = std::move(desktop);
}

std::optional<QString> PortStore::folderOf(const Listener& listener) {
    if (listener.project && !listener.project->directory.isEmpty()) {
        return listener.project->directory;
    }
    return listener.workingDirectory;
}

void PortStore::openInBrowser(const Listener& listener) {
    runOpen(listener, false);
}

void PortStore::copyAddress(const Listener& listener) {
    runOpen(listener, true);
}

void PortStore::showProjectFolder(const Listener& listener) {
    if (const auto folder = folderOf(listener)) {
        runShowFolder(*folder);
    }
}

QCoro::Task<void> PortStore::runOpen(Listener listener, bool copyOnly) {
    const QPointer<PortStore> self(this);
    const std::optional<QString> url = co_await Settled(service_->url(listener));
    if (!self || !url) {
        co_return;
    }
    if (copyOnly) {
        if (desktop_.copyText) {
            desktop_.copyText(*url);
        }
    } else if (!desktop_.openUrl || !desktop_.openUrl(QUrl(*url))) {
        showFailure(
            QCoreApplication::translate("PortStore", "Couldn’t open %1: no browser could be started.").arg(*url));
    }
}

QCoro::Task<void> PortStore::runShowFolder(QString folder) {
    const QPointer<PortStore> self(this);
    const std::optional<std::optional<QString>> refused = co_await Settled(service_->showFolder(folder));
    if (!self) {
        co_return;
    }
    const bool shown = refused && !*refused;
    // Without a file manager on the bus, whatever opens folders shows it.
    if (!shown && (!desktop_.openUrl || !desktop_.openUrl(QUrl::fromLocalFile(folder)))) {
        showFailure(QCoreApplication::translate("PortStore", "Couldn’t show the folder %1: no file manager answered.")
                        .arg(folder));
    }
}

void PortStore::showFailure(const QString& message) {
    publish(errorMessage_, std::optional<QString>(message));
    callOnLayoutChange();
}

}  // namespace vantu
