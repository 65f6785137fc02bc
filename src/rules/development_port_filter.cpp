#include "rules/development_port_filter.h"

#include "platform/process.h"
#include "platform/system_service.h"

namespace vantu::DevelopmentPortFilter {
namespace {

constexpr QStringView kRuntimeNames[] = {
    u"node",  u"nodejs", u"bun",   u"deno", u"ruby",        u"php",   u"java",    u"dotnet",
    u"go",    u"npm",    u"npx",   u"pnpm", u"yarn",        u"vite",  u"uvicorn", u"gunicorn",
    u"flask", u"django", u"rails", u"puma", u"http-server", u"httpd",
};

// Interpreters installed under a versioned name: python3.12, ruby3.2, php8.
constexpr QStringView kVersionedRuntimePrefixes[] = {u"python", u"ruby", u"php"};

// Programs that hold local ports of their own and are never development servers.
constexpr QStringView kDeniedCommandPrefixes[] = {u"controlce", u"figma"};
constexpr QStringView kDeniedCommands[] = {u"rapportd", u"sharingd"};

constexpr QStringView kDeniedPathPrefixes[] = {u"/system/", u"/usr/libexec/", u"/usr/sbin/"};
constexpr QStringView kApplicationBundleMarker = u".app/";

bool isVersionSuffix(QStringView rest) {
    for (const QChar c : rest) {
        if (!(c >= u'0' && c <= u'9') && c != u'.') {
            return false;
        }
    }
    return true;
}

bool isDeniedCommand(QStringView command) {
    for (const QStringView prefix : kDeniedCommandPrefixes) {
        if (command.startsWith(prefix)) {
            return true;
        }
    }
    for (const QStringView name : kDeniedCommands) {
        if (command == name) {
            return true;
        }
    }
    return false;
}

bool isDeniedPath(QStringView lowerCasedPath) {
    for (const QStringView prefix : kDeniedPathPrefixes) {
        if (lowerCasedPath.startsWith(prefix)) {
            return true;
        }
    }
    return lowerCasedPath.contains(kApplicationBundleMarker);
}

// The candidate tests that follow the ownership check, which the caller has made.
bool isOwnedCandidate(const Listener& listener, const QString& lowerCasedCommand,
                      const std::optional<QString>& executablePath) {
    if (isDeniedCommand(lowerCasedCommand)) {
        return false;
    }
    // The system's own daemons are no dev servers, even those that run under a runtime's name
    // (a python3 helper of the desktop, a node service of a system unit). A path passed in
    // stands for the process, which is then not read at all; nor is a pid that no longer names
    // the process found listening, since what it names now says nothing about that one.
    const bool askProcess = !executablePath && ProcessIdentity::read(listener.pid) == listener.identity;
    const std::optional<QString> path = executablePath ? executablePath
                                        : askProcess   ? platform::executablePath(listener.pid)
                                                       : std::nullopt;
    if (path && platform::isSystemExecutable(*path, &isDevelopmentRuntime)) {
        return false;
    }
    if (askProcess && platform::belongsToOtherSystemUnit(listener.pid)) {
        return false;
    }
    if (isDevelopmentRuntime(lowerCasedCommand)) {
        return true;
    }
    if (!path || path->isEmpty()) {
        return false;
    }
    return !isDeniedPath(path->toLower());
}

}  // namespace

bool isDevelopmentRuntime(const QString& lowerCasedName) {
    for (const QStringView name : kRuntimeNames) {
        if (lowerCasedName == name) {
            return true;
        }
    }
    if (lowerCasedName.startsWith(u"next-server")) {
        return true;
    }
    for (const QStringView prefix : kVersionedRuntimePrefixes) {
        if (lowerCasedName.startsWith(prefix) && isVersionSuffix(QStringView(lowerCasedName).sliced(prefix.size()))) {
            return true;
        }
    }
    return false;
}

bool isAutomaticCandidate(const Listener& listener, const std::optional<QString>& executablePath) {
    // Only the user's own processes, never pid 0 or 1 and never this app itself.
    return listener.canTerminate() && isOwnedCandidate(listener, listener.command.toLower(), executablePath);
}

bool includes(const Listener& listener, const DiscoverySettings& settings,
              const std::optional<QString>& executablePath) {
    if (!listener.canTerminate()) {
        return false;
    }
    // Hide rules win over everything, include rules over automatic detection.
    if (settings.excluded().contains(listener.port)) {
        return false;
    }
    if (settings.included().contains(listener.port)) {
        return true;
    }
    if (!settings.automatic()) {
        return false;
    }
    const QString command = listener.command.toLower();
    if (!isOwnedCandidate(listener, command, executablePath)) {
        return false;
    }
    if (isDevelopmentRuntime(command)) {
        return true;
    }
    if (listener.project && listener.project->hasProjectEvidence) {
        return true;
    }
    return listener.project && listener.project->isUserSelected;
}

}  // namespace vantu::DevelopmentPortFilter
