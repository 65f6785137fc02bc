#include "ui/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

constexpr int kWaitMilliseconds = 1000;
const QByteArray kOpen = "open\n";

}  // namespace

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::standardSocketPath() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) {
        return QDir(runtime).filePath(u"vantu.socket"_s);
    }
    return QDir(QDir::tempPath()).filePath(u"vantu-%1.socket"_s.arg(::getuid()));
}

bool SingleInstance::tellRunningInstance() const {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(kWaitMilliseconds)) {
        return false;
    }
    socket.write(kOpen);
    return socket.waitForBytesWritten(kWaitMilliseconds);
}

bool SingleInstance::handOver() {
    if (tellRunningInstance()) {
        return true;
    }
    server_ = new QLocalServer(this);
    // Only this user may knock.
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* knock = server_->nextPendingConnection()) {
            connect(knock, &QLocalSocket::disconnected, knock, &QObject::deleteLater);
            connect(knock, &QLocalSocket::readyRead, this, [this, knock] {
                if (knock->readAll().contains('\n')) {
                    Q_EMIT activationRequested();
                }
            });
        }
    });
    if (server_->listen(socketPath_)) {
        return false;
    }
    // Nobody answered, yet the name is taken: left behind by an instance that crashed, or a
    // launch racing this one. Ask once more, then take the name over.
    if (tellRunningInstance()) {
        return true;
    }
    QLocalServer::removeServer(socketPath_);
    server_->listen(socketPath_);
    return false;
}

}  // namespace vantu
