#include "core/engine_helpers.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>

namespace vantu::EngineHelpers {
namespace {

constexpr QStringView kHelpers[] = {
    u"docker-proxy", u"dockerd",    u"rootlessport", u"rootlessport-child",      u"slirp4netns",
    u"pasta",        u"pasta.avx2", u"conmon",       u"containerd-shim-runc-v2", u"rootlesskit"};

// The kernel keeps the first 15 bytes of a program's name.
constexpr qsizetype kCommandNameLength = 15;

}  // namespace

std::optional<QString> helperName(const QString& command, const std::optional<QString>& executablePath) {
    const QString program = executablePath ? executablePath->section(u'/', -1) : QString();
    for (const QStringView helper : kHelpers) {
        // Either name will do: another user's helper shows no file, and a program started
        // through a link keeps the link's name as its command.
        const bool byCommand =
            command == helper || (command.size() == kCommandNameLength && helper.startsWith(command));
        if (program == helper || byCommand) {
            return helper.toString();
        }
    }
    return std::nullopt;
}

QString refusal(const QString& helper) {
    return QCoreApplication::translate("EngineHelpers",
                                       "This process (%1) holds a container’s published port for its engine; "
                                       "stopping it would break the container. Stop the container instead.")
        .arg(helper);
}

}  // namespace vantu::EngineHelpers
