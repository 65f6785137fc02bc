#include "core/listener_scan.h"

#include "platform/watched_child.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <QTextBoundaryFinder>

#include <utility>

using namespace Qt::StringLiterals;

namespace vantu {
namespace {

// TCP sockets in the LISTEN state, numeric addresses and ports, field output with the
// process id, command and name fields.
const QStringList& toolArguments() {
    static const QStringList arguments{u"-iTCP"_s, u"-sTCP:LISTEN"_s, u"-n"_s, u"-P"_s, u"-Fpcn"_s};
    return arguments;
}

// The tool exits with this status when no socket matched.
constexpr int kNothingMatched = 1;
// Longest part of the tool's output carried into an error, in user-perceived characters.
constexpr int kDetailLength = 240;

QString decode(const QByteArray& bytes) {
    // Invalid sequences become U+FFFD; a leading byte-order mark is kept like any other text.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// The first `count` grapheme clusters: an accent or an emoji sequence is never cut apart.
QString firstCharacters(const QString& text, int count) {
    QTextBoundaryFinder boundaries(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int taken = 0; taken < count; ++taken) {
        const qsizetype next = boundaries.toNextBoundary();
        if (next < 0) {
            return text;
        }
        end = next;
    }
    return text.first(end);
}

}  // namespace

ListenerScan::ListenerScan() : ListenerScan(standardToolPath(), platform::WatchdogLimits{}) {}

ListenerScan::ListenerScan(QString toolPath, platform::WatchdogLimits limits)
    : toolPath_(std::move(toolPath)), limits_(limits) {}

QString ListenerScan::standardToolPath() {
    // Debian installs the tool in /usr/bin, other systems in /usr/sbin. Never a search of
    // PATH: whoever controls the environment must not choose what runs.
    static const QString candidates[] = {u"/usr/bin/lsof"_s, u"/usr/sbin/lsof"_s};
    for (const QString& candidate : candidates) {
        if (QFileInfo::exists(candidate)) {
            return candidate;
        }
    }
    // Launching it fails, and that failure names the missing file.
    return candidates[0];
}

ListenerScan::Running ListenerScan::start() const {
    return Running(toolPath_, platform::WatchedChild::start(toolPath_, toolArguments(), limits_));
}

std::variant<ScanOutcome, ServiceError> ListenerScan::run() const {
    return start().finish();
}

std::variant<ScanOutcome, ServiceError> ListenerScan::Running::finish() {
    if (const auto* failure = std::get_if<platform::LaunchFailure>(&child_)) {
        return ServiceError{LaunchError{failure->description}};
    }
    const platform::ChildExit exit = std::get<platform::WatchedChild>(child_).finish();
    if (exit.outputOverflowed) {
        return ServiceError{PortServiceError::scanFailed(
            QCoreApplication::translate("ListenerScan",
                                        "%1 wrote far more than any listing holds; none of it was used.")
                .arg(QFileInfo(toolPath_).fileName()))};
    }
    // Ended by a signal, whoever sent it, or never seen to end: the listing is not to be
    // trusted whatever it says.
    if (exit.reason != platform::ChildExit::Reason::exited) {
        return ServiceError{PortServiceError::scanTimedOut()};
    }
    QString output = decode(exit.output);
    if (exit.exitStatus == kNothingMatched && output.trimmed().isEmpty()) {
        return ScanOutcome{std::nullopt};
    }
    if (exit.exitStatus != 0) {
        return ServiceError{PortServiceError::scanFailed(firstCharacters(output, kDetailLength))};
    }
    return ScanOutcome{std::move(output)};
}

}  // namespace vantu
