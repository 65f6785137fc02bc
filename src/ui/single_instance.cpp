#include "ui/single_instance.h"

#include "platform/local_socket.h"
#include "platform/log.h"
#include "platform/process.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

constexpr int kWaitMilliseconds = 1000;
const QByteArray kOpen = "open\n";

}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {
    const auto folder = platform::privateRuntimeFolder();
    if (const auto* found = std::get_if<platform::PrivateFolder>(&folder)) {
        socketPath_ = QDir(found->path).filePath(u"vantu.socket"_s);
    } else {
        distrust_ = std::get<platform::NoPrivateFolder>(folder).reason;
    }
}

SingleInstance::SingleInstance(QString socketPath, QObject* parent)
    : QObject(parent), socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

SingleInstance::Answer SingleInstance::tellRunningInstance() const {
    QLocalSocket socket;
    socket.connectToServer(*socketPath_);
    if (!socket.waitForConnected(kWaitMilliseconds)) {
        return Answer::none;
    }
    // Only an instance of this very user is told to show itself: a launch that handed over to
    // anyone else would end with no window at all.
    const auto peer = platform::peerUid(static_cast<int>(socket.socketDescriptor()));
    if (peer != platform::currentUid()) {
        qCWarning(lcTray, "%s is held by %s, not by this user: the name is taken over", qUtf8Printable(*socketPath_),
                  peer ? qUtf8Printable(u"uid %1"_s.arg(*peer)) : "an unknown process");
        return Answer::stranger;
    }
    socket.write(kOpen);
    return socket.waitForBytesWritten(kWaitMilliseconds) ? Answer::handedOver : Answer::none;
}

bool SingleInstance::handOver() {
    if (!socketPath_) {
        qCWarning(lcTray, "no private folder for the single-instance socket (%s): this launch runs on its own",
                  qUtf8Printable(distrust_));
        return false;
    }
    const Answer answer = tellRunningInstance();
    if (answer == Answer::handedOver) {
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
    if (server_->listen(*socketPath_)) {
        return false;
    }
    // Nobody answered, yet the name is taken: left behind by an instance that crashed, or a
    // launch racing this one. Ask once more, then take the name over; another user's at once.
    if (answer == Answer::none && tellRunningInstance() == Answer::handedOver) {
        return true;
    }
    QLocalServer::removeServer(*socketPath_);
    server_->listen(*socketPath_);
    return false;
}

}  // namespace vantu
