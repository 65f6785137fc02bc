#include "platform/local_socket.h"

#include "platform/process.h"
#include "platform/process_signal.h"
#include "platform/unique_fd.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace vantu::platform {
namespace {

// Why the folder at `path` may not hold this user's socket; nullopt when it may. It is opened
// without following a link: a link could be pointed elsewhere after the check.
std::optional<QString> distrust(const QString& path, bool madeHere) {
    UniqueFd folder(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (!folder.valid() || ::fstat(folder.get(), &info) != 0) {
        return u"%1: %2"_s.arg(path, errorText(errno));  // a link reads as "Not a directory"
    }
    if (info.st_uid != currentUid()) {
        return u"%1 belongs to uid %2"_s.arg(path).arg(info.st_uid);
    }
    const mode_t mode = info.st_mode & 07777;
    if (madeHere ? mode != 0700 : (mode & (S_IWGRP | S_IWOTH)) != 0) {
        return u"%1 has mode %2"_s.arg(path, QString::number(mode, 8).rightJustified(4, u'0'));
    }
    return std::nullopt;
}

}  // namespace

std::variant<PrivateFolder, NoPrivateFolder> privateRuntimeFolder() {
    QString path = qEnvironmentVariable("XDG_RUNTIME_DIR");
    const bool madeHere = path.isEmpty() || QDir::isRelativePath(path);
    if (madeHere) {
        path = QDir(QDir::tempPath()).filePath(u"vantu-%1"_s.arg(currentUid()));
        // An existing folder is checked like a new one: it may be a stranger's.
        if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST) {
            return NoPrivateFolder{u"%1: %2"_s.arg(path, errorText(errno))};
        }
    }
    if (auto reason = distrust(path, madeHere)) {
        return NoPrivateFolder{std::move(*reason)};
    }
    return PrivateFolder{path};
}

std::optional<uint32_t> peerUid(int socketDescriptor) {
    struct ucred credentials {};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socketDescriptor, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        size != sizeof credentials) {
        return std::nullopt;
    }
    return static_cast<uint32_t>(credentials.uid);
}

}  // namespace vantu::platform
