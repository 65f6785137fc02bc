#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace vantu {

// One running app per user. A later launch hands over to the running one, which opens its
// panel, and ends: an autostart entry and a launch by hand never make two tray icons.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `socketPath` is where the running app listens; by default in the user's runtime folder.
    explicit SingleInstance(QString socketPath = standardSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance runs and has been asked to open its panel: this process should
    // end. Otherwise this one is now the running instance, listening for later launches.
    bool handOver();

    // $XDG_RUNTIME_DIR/vantu.socket, else a per-user name in the temporary folder.
    static QString standardSocketPath();

Q_SIGNALS:
    // A later launch asked the running app to show itself.
    void activationRequested();

private:
    bool tellRunningInstance() const;

    QString socketPath_;
    QLocalServer* server_ = nullptr;
};

}  // namespace vantu
