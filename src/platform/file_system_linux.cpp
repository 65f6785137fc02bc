#include "platform/file_system.h"

#include "platform/unique_fd.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace vantu::platform {
namespace {

std::optional<struct stat> statPath(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    return info;
}

}  // namespace

std::optional<QByteArray> readRegularFile(const QString& path, int64_t maxBytes) {
    if (maxBytes < 0) {
        return std::nullopt;
    }
    // Looking first keeps us from even opening a device, whose open alone may have effects.
    const auto before = statPath(path);
    if (!before || !S_ISREG(before->st_mode) || before->st_size > maxBytes) {
        return std::nullopt;
    }
    // The path may be swapped for a FIFO between the look and the open: opening without
    // blocking and judging the descriptor itself means a swap can never hang the caller.
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd.valid()) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > maxBytes) {
        return std::nullopt;
    }
    // Ask for one byte more than allowed: a file that grew since fstat is caught too.
    const int64_t limit = maxBytes + 1;
    QByteArray content;
    content.resize(static_cast<qsizetype>(std::min<int64_t>(info.st_size, maxBytes) + 1));
    int64_t total = 0;
    for (;;) {
        if (total == content.size()) {
            if (content.size() >= limit) {
                break;
            }
            content.resize(static_cast<qsizetype>(std::min<int64_t>(limit, content.size() * 2)));
        }
        const ssize_t n = ::read(fd.get(), content.data() + total, static_cast<size_t>(content.size() - total));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        total += n;
    }
    if (total > maxBytes) {
        return std::nullopt;
    }
    content.truncate(static_cast<qsizetype>(total));
    return content;
}

bool exists(const QString& path) {
    return statPath(path).has_value();
}

bool isDirectory(const QString& path) {
    const auto info = statPath(path);
    return info && S_ISDIR(info->st_mode);
}

std::optional<QString> canonicalPath(const QString& path) {
    if (path.isEmpty()) {
        return std::nullopt;
    }
    char* resolved = ::realpath(QFile::encodeName(path).constData(), nullptr);
    if (resolved == nullptr) {
        return std::nullopt;
    }
    QString result = QFile::decodeName(resolved);
    ::free(resolved);
    return result;
}

}  // namespace vantu::platform
