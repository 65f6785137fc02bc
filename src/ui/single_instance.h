#pragma once

#include <QObject>
#include <QString>

#include <optional>

class QLocalServer;

namespace vantu {

// One running app per user. A later launch hands over to the running one, which opens its
// panel, and ends: an autostart entry and a launch by hand never make two tray icons.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // Listens in the user's private runtime folder (platform::privateRuntimeFolder()). Where no
    // such folder can be had, every launch runs on its own.
    explicit SingleInstance(QObject* parent = nullptr);
    // Listens at `socketPath`, in a folder the caller knows to be the user's own.
    explicit SingleInstance(QString socketPath, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another instance of this user runs and has been asked to open its panel: this
    // process should end. Otherwise this one is now the running instance, listening for later
    // launches where it can.
    bool handOver();

Q_SIGNALS:
    // A later launch asked the running app to show itself.
    void activationRequested();

private:
    enum class Answer { none, handedOver, stranger };
    Answer tellRunningInstance() const;

    // nullopt when no place can be trusted; `distrust_` then says why.
    std::optional<QString> socketPath_;
    QString distrust_;
    QLocalServer* server_ = nullptr;
};

}  // namespace vantu
