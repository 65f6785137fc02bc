#include "rules/development_port_filter.h"

#include "core/container_rows.h"

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
bool isOwnedCandidate(const Listener& listener, const QString& lowerCasedCommand) {
    if (isDeniedCommand(lowerCasedCommand) || listener.systemProgram) {
        return false;
    }
    if (isDevelopmentRuntime(lowerCasedCommand)) {
        return true;
    }
    const std::optional<QString>& path = listener.executablePath;
    return path && !path->isEmpty() && !isDeniedPath(path->toLower());
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

bool isAutomaticCandidate(const Listener& listener) {
    // Only the user's own processes, never pid 0 or 1 and never this app itself.
    return listener.canTerminate() && isOwnedCandidate(listener, listener.command.toLower());
}

bool includes(const Listener& listener, const DiscoverySettings& settings) {
    if (listener.container) {
        // The user's engine answered for it: a server the user started, shown unless hidden.
        return !settings.excluded().contains(listener.port) &&
               (settings.automatic() || settings.included().contains(listener.port));
    }
    if (!listener.canTerminate() || ContainerRows::isEngineHelper(listener)) {
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
    if (!isOwnedCandidate(listener, command)) {
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
