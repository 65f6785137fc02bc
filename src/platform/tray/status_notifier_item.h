#pragma once

#include "platform/tray/status_notifier_wire.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QString>

class QDBusServiceWatcher;
class QTimer;

namespace vantu::platform {

class DBusMenuExporter;

// The app's icon in a StatusNotifierItem tray (KDE Plasma, GNOME's AppIndicator extension,
// waybar, xfce4-panel's plugin): an org.kde.StatusNotifierItem object on the session bus that
// registers with the org.kde.StatusNotifierWatcher whenever one appears, so a tray that starts
// after the app, or restarts, still gets the item. Clicks arrive as signals with the screen
// position the host reports (0, 0 when it reports none). A watcher that lets the item go again
// (GNOME's extension does when it fails to read a new item) is asked again a few times, waiting
// longer each time, before the item counts as refused.
class StatusNotifierItem : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(int WindowId READ windowId)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QList<vantu::platform::SniPixmap> IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ noName)
    Q_PROPERTY(QList<vantu::platform::SniPixmap> OverlayIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionIconName READ noName)
    Q_PROPERTY(QList<vantu::platform::SniPixmap> AttentionIconPixmap READ noPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ noName)
    Q_PROPERTY(vantu::platform::SniToolTip ToolTip READ toolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)

public:
    // Where the item stands with the tray: no watcher on the bus, a question under way, taken
    // in, or turned away by the watcher.
    enum class Registration { noWatcher, pending, registered, refused };

    // How often a watcher that let the item go is asked again, and the first wait before that;
    // each further wait doubles.
    static constexpr int kRetryLimit = 4;
    static constexpr int kFirstRetryMilliseconds = 500;
    // A watcher that kept the item this long and then lets it go earns the full retries again.
    static constexpr qint64 kKeptMilliseconds = 60000;

    StatusNotifierItem(QDBusConnection bus, QString id, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Publishes the item (and the menu, if set) under a name of its own and follows the
    // watcher from now on. False, doing nothing, without a session bus.
    bool start();
    [[nodiscard]] Registration registration() const { return registration_; }
    [[nodiscard]] QString serviceName() const { return serviceName_; }

    void setTitle(const QString& title);
    // A themed icon by name, found under `themePath` when the host looks there, and the same
    // drawn at several sizes for hosts that cannot find it.
    void setIcon(const QString& name, const QString& themePath, const QList<QImage>& images);
    void setToolTip(const QString& title, const QString& text);
    // The menu a host shows on a right click; not owned. Set before `start`.
    void setMenu(DBusMenuExporter* menu);

    [[nodiscard]] static QString category();
    [[nodiscard]] QString id() const { return id_; }
    [[nodiscard]] QString title() const { return title_; }
    [[nodiscard]] static QString status();
    [[nodiscard]] static int windowId() { return 0; }
    [[nodiscard]] QString iconThemePath() const { return iconThemePath_; }
    [[nodiscard]] QString iconName() const { return iconName_; }
    [[nodiscard]] QList<SniPixmap> iconPixmap() const { return iconPixmaps_; }
    [[nodiscard]] static QString noName() { return {}; }
    [[nodiscard]] static QList<SniPixmap> noPixmaps() { return {}; }
    [[nodiscard]] SniToolTip toolTip() const { return toolTip_; }
    [[nodiscard]] static bool itemIsMenu() { return false; }
    [[nodiscard]] QDBusObjectPath menu() const;

public Q_SLOTS:
    Q_SCRIPTABLE void ContextMenu(int x, int y);
    Q_SCRIPTABLE void Activate(int x, int y);
    Q_SCRIPTABLE void SecondaryActivate(int x, int y);
    Q_SCRIPTABLE void Scroll(int delta, const QString& orientation);

Q_SIGNALS:
    Q_SCRIPTABLE void NewTitle();
    Q_SCRIPTABLE void NewIcon();
    Q_SCRIPTABLE void NewAttentionIcon();
    Q_SCRIPTABLE void NewOverlayIcon();
    Q_SCRIPTABLE void NewToolTip();
    Q_SCRIPTABLE void NewStatus(const QString& status);

    // For the app: a click, a middle click and a right click on the icon.
    void activated(QPoint at);
    void secondaryActivated(QPoint at);
    void contextMenuRequested(QPoint at);
    void registrationChanged();

private Q_SLOTS:
    void onItemUnregistered(const QString& item);

private:
    void registerWithWatcher();
    // Asks the watcher again after a wait, or gives up once the retries are spent.
    void registerAgain(const char* why);
    // Whether the watcher's list still names the item.
    void checkKept();
    // Whether a watcher's entry ("name", "name/path", "name@path") names this item.
    [[nodiscard]] bool isOurs(const QString& entry) const;
    void setRegistration(Registration registration);

    QDBusConnection bus_;
    QString id_;
    QString serviceName_;
    QString title_;
    QString iconName_;
    QString iconThemePath_;
    QList<SniPixmap> iconPixmaps_;
    SniToolTip toolTip_;
    DBusMenuExporter* menu_ = nullptr;
    QDBusServiceWatcher* watcher_ = nullptr;
    Registration registration_ = Registration::noWatcher;
    // Tells the answer to the latest registration from one that a restarted watcher overtook.
    quint64 attempt_ = 0;
    QTimer* retry_ = nullptr;
    int retries_ = 0;
    QElapsedTimer registeredAt_;
};

}  // namespace vantu::platform
