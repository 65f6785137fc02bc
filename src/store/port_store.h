#pragma once

#include "core/listener.h"
#include "core/process_identity.h"
#include "core/stop_target.h"
#include "rules/discovery_settings.h"
#include "service/port_service.h"

#include <QCoroFwd>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUrl>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace vantu {

namespace platform {
class SettingsStore;
}

// What the folder chooser shows, and where it starts.
struct FolderChoiceRequest {
    QString title;
    QString message;
    QString prompt;
    QString startFolder;
};

// Shows a folder chooser without blocking and later calls `answer` on the main thread with
// the chosen folder's path, or nullopt when the user cancelled.
using FolderChooser =
    std::function<void(const FolderChoiceRequest& request, std::function<void(std::optional<QString>)> answer)>;

// What the store asks of the desktop, on the main thread; the UI supplies it.
struct Desktop {
    // Hands the URL to the application the user chose for it; false when none could be asked.
    std::function<bool(const QUrl&)> openUrl;
    // Puts the text where a paste takes it from.
    std::function<void(const QString&)> copyText;
};

// Waits of the stop path: time for the process to exit before the list is refreshed. Fixed
// in the app; tests may shorten them. (Declared outside PortStore so that it can be a default
// argument of the store's constructor.)
struct StopDelays {
    std::chrono::nanoseconds afterPolite{1'200'000'000};
    std::chrono::nanoseconds afterForced{250'000'000};
};

// The one application state that the views read and drive. Lives on the main thread; every
// field is read and written there, so it takes no locks.
//
// Published fields notify `willChange()` before every assignment, also when the value does not
// change; views re-read the store after it.
class PortStore : public QObject {
    Q_OBJECT

public:
    using StopDelays = vantu::StopDelays;

    // Loads the discovery settings and the project folder overrides from `settings` (which
    // must outlive the store); starts no scan.
    PortStore(std::unique_ptr<PortService> service, platform::SettingsStore& settings, FolderChooser folderChooser,
              StopDelays delays = {}, QObject* parent = nullptr);
    ~PortStore() override;

    // Published state.
    [[nodiscard]] const QList<Listener>& listeners() const { return listeners_; }
    [[nodiscard]] bool isRefreshing() const { return isRefreshing_; }
    [[nodiscard]] const std::optional<QString>& errorMessage() const { return errorMessage_; }
    [[nodiscard]] bool hasSnapshot() const { return hasSnapshot_; }
    // Whether the last refresh pass failed (its error is the error line).
    [[nodiscard]] bool lastScanFailed() const { return lastScanFailed_; }
    [[nodiscard]] const DiscoverySettings& discoverySettings() const { return discoverySettings_; }
    [[nodiscard]] bool showingDiscoverySettings() const { return showingDiscoverySettings_; }

    // Heights that follow from the state.
    [[nodiscard]] double bodyHeight() const;
    [[nodiscard]] double popoverHeight() const;

    // Called whenever the popover's height may have changed.
    void setOnLayoutChange(std::function<void()> callback);

    // Asks for a fresh list. At most one scan runs; requests made meanwhile collapse into one
    // further pass.
    void refresh();
    // Refreshes if the listening sockets changed since the last look; costs next to nothing
    // otherwise. Meant to be called every second or two while the list is on screen. Also
    // follows the container engines' events from then on, until the following stops.
    void refreshIfSocketsChanged();
    // Stops following the sockets when the list leaves the screen: a look still on its way is
    // ignored (other programs' sockets change all the time), and the next look only learns them.
    void stopFollowingSockets();
    void toggleDiscoverySettings();
    // Saves, applies, closes the settings panel and refreshes.
    void updateDiscoverySettings(const DiscoverySettings& settings);

    // Whether the listener's row is being stopped.
    [[nodiscard]] bool isStopping(const Listener& listener) const;
    // What a forced stop from the listener's row ends, once a polite stop did not take; null
    // while no force is on offer there.
    [[nodiscard]] const StopTarget* forceTarget(const Listener& listener) const;
#ifdef VANTU_TEST_HOOKS
    // The stops on their way, and the forced stops on offer.
    [[nodiscard]] const QList<StopTarget>& stopping() const {
        return stopping_;
    }
    [[nodiscard]] const QList<StopTarget>& forceOffers() const {
        return forceOffers_;
    }
#endif

    // Stops the listener's process: politely first, by force once that has been offered (then
    // the offer says what: the process, or what is left of its group).
    void stop(const Listener& listener);
    // Stops the process group the listener runs in, as Ctrl+C in its terminal would: SIGINT to
    // every member; SIGKILL to the survivors once that has been offered.
    void stopGroup(const Listener& listener);
    // Asks the user's service manager to stop the unit the listener runs in.
    void stopUnit(const Listener& listener);
    // Stops every running container of the compose project the listener's container belongs to:
    // through their engine, politely first, by force once that has been offered.
    void stopComposeProject(const Listener& listener);

    // The desktop the next three open, copy and show through.
    void setDesktop(Desktop desktop);
    // Opens the listener's server in the browser, at the address that reaches it (https when
    // it answers a TLS handshake); a failure becomes the error line.
    void openInBrowser(const Listener& listener);
    // Copies that same address.
    void copyAddress(const Listener& listener);
    // Shows the listener's project folder (its working folder when no project is known) in the
    // file manager, or else opens the folder.
    void showProjectFolder(const Listener& listener);
    // The folder showProjectFolder shows; nullopt when none is known.
    [[nodiscard]] static std::optional<QString> folderOf(const Listener& listener);

    // Pins the listener to a folder the user picks, or removes the pin.
    void chooseProjectFolder(const Listener& listener);
    void resetProjectFolder(const Listener& listener);

Q_SIGNALS:
    // Emitted before any published field changes.
    void willChange();

private:
    // Notifies, then assigns: observers are told before every change of a published field.
    template <typename T>
    void publish(T& field, T value);
    void callOnLayoutChange();

    QCoro::Task<void> runRefreshPasses();
    QCoro::Task<void> runSocketCheck();
    // Starts following the engines' events, once per time the list is on screen.
    void followContainers();
    // Marks the target's rows as being stopped and runs the stop on the next turn; nothing when
    // a stop of any of its parts is already on its way.
    void startStop(StopTarget target, bool force);
    // Ask, wait, then show what became of the target: the one flow for every kind of target.
    QCoro::Task<void> runStop(StopTarget target, bool force);
    // The ports of the target's rows.
    [[nodiscard]] QList<uint16_t> portsOf(const StopTarget& target) const;
    // What the wait after the stop found: the rows of the processes that ended go at once, and a
    // port taken again is named. Returns the processes still running.
    QList<ProcessIdentity> applyAftermath(const StopTarget& waited, const std::optional<StopAftermath>& aftermath,
                                          const QList<uint16_t>& ports);
    // The rows and force offers of processes that ended go, as the next refresh would take them.
    void dropEnded(const QList<ProcessIdentity>& ended);
    // The rows of the target's containers that ended go at once too.
    void dropEndedContainers(const StopTarget& waited, const std::optional<StopAftermath>& aftermath);
    // The ids of the target's containers still running after the wait: all of them when it was
    // not seen.
    static QStringList runningContainers(const StopTarget& target, const std::optional<StopAftermath>& aftermath);
    void applyProjectFolder(const QString& key, const QString& folder);
    // Keeps the choice for this run and saves it; nullopt removes it. False when the store was
    // destroyed by the layout hook meanwhile.
    bool saveProjectFolder(const QString& key, const std::optional<QString>& folder);
    // Shows the sentence (a failed save, a server that came back), also after the refresh that
    // follows.
    void showThroughRefresh(const std::optional<QString>& message);
    QCoro::Task<void> runOpen(Listener listener, bool copyOnly);
    QCoro::Task<void> runShowFolder(QString folder);
    // Shows a failed desktop action's sentence in the error line.
    void showFailure(const QString& message);

    std::unique_ptr<PortService> service_;
    platform::SettingsStore& settings_;
    FolderChooser folderChooser_;
    StopDelays delays_;
    Desktop desktop_;

    QList<Listener> listeners_;
    bool isRefreshing_ = false;
    QList<StopTarget> stopping_;
    QList<StopTarget> forceOffers_;
    std::optional<QString> errorMessage_;
    bool hasSnapshot_ = false;
    bool lastScanFailed_ = false;
    DiscoverySettings discoverySettings_;
    bool showingDiscoverySettings_ = false;

    std::function<void()> onLayoutChange_;
    // A refresh task exists from the request that created it until its last pass ends; no
    // handle is kept because no task is ever cancelled.
    bool refreshTaskRunning_ = false;
    // Requests made while a task runs collapse into this one further pass.
    bool refreshAgain_ = false;
    ProjectOverrides projectOverrides_;
    // A sentence to be shown again when the next refresh would clear the error line.
    std::optional<QString> lastingNotice_;
    // The sockets as last seen by a check, and whether a check is on its way.
    std::optional<uint64_t> socketSignature_;
    bool socketCheckRunning_ = false;
    // Counts the times the following stopped, so that a look begun before is known as stale.
    uint64_t socketWatch_ = 0;
    // The engines' events while the list is followed; null otherwise.
    std::unique_ptr<ContainerEvents> containerEvents_;
    bool followingContainers_ = false;
};

template <typename T>
void PortStore::publish(T& field, T value) {
    Q_EMIT willChange();
    field = std::move(value);
}

}  // namespace vantu
