#include "platform/url_opener.h"

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

using namespace Qt::StringLiterals;

namespace vantu::platform::UrlOpener {
namespace {

// How long the opener may take to answer.
constexpr std::chrono::seconds kAnswerLimit{5};

// xdg-open's exit statuses, in words.
QString reasonFor(int status) {
    switch (status) {
        case 1:
            return QCoreApplication::translate("UrlOpener", "xdg-open did not understand the request.");
        case 2:
            return QCoreApplication::translate("UrlOpener", "xdg-open could not find it.");
        case 3:
            return QCoreApplication::translate("UrlOpener", "no browser is set up to open it.");
        case 4:
            return QCoreApplication::translate("UrlOpener", "the browser failed to open it.");
        default:
            return QCoreApplication::translate("UrlOpener", "xdg-open ended with status %1.").arg(status);
    }
}

}  // namespace

std::optional<QString> open(const QString& url) {
    const auto failed = [&url](const QString& reason) {
        return QCoreApplication::translate("UrlOpener", "Couldn’t open %1: %2").arg(url, reason);
    };
    const QByteArray opener = QFile::encodeName(QStandardPaths::findExecutable(u"xdg-open"_s));
    if (opener.isEmpty()) {
        return failed(QCoreApplication::translate("UrlOpener", "xdg-open is not installed."));
    }
    const QByteArray address = url.toUtf8();
    char* const argv[] = {const_cast<char*>(opener.constData()), const_cast<char*>(address.constData()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int spawned = ::posix_spawn(&child, opener.constData(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return failed(QString::fromLocal8Bit(std::strerror(spawned)));
    }
    // xdg-open returns once the browser has the address, except where it runs a browser that
    // was not running yet in its own place: still running after a while means the browser is up.
    const auto deadline = std::chrono::steady_clock::now() + kAnswerLimit;
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child, &status, WNOHANG);
        if (ended == child) {
            break;
        }
        if (ended < 0 && errno != EINTR) {
            return failed(QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        ::usleep(10'000);
    }
    if (WIFSIGNALED(status)) {
        return failed(QCoreApplication::translate("UrlOpener", "xdg-open was ended by a signal."));
    }
    if (WEXITSTATUS(status) != 0) {
        return failed(reasonFor(WEXITSTATUS(status)));
    }
    return std::nullopt;
}

}  // namespace vantu::platform::UrlOpener
