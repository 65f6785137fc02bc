#include "cli/cli_commands.h"
#include <QCoreApplication>

#include "cli/listener_report.h"
#include "core/container_rows.h"
#include "core/process_group.h"
#include "core/stop_plan.h"
#include "platform/process_signal.h"
#include "platform/terminal.h"
#include "platform/url_opener.h"
#include "rules/development_port_filter.h"
#include "service/server_urls.h"
#include "service/snapshot_assembly.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cerrno>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace vantu::cli {
namespace {

// The sentence in the user's language; each is marked where it is used, for lupdate to find.
QString text(const char* sentence, int count = -1) {
    return QCoreApplication::translate("vantu-cli", sentence, nullptr, count);
}

QString describe(const Listener& listener) {
    if (listener.container) {
        return text(QT_TRANSLATE_NOOP("vantu-cli", "%1 (%2)")).arg(listener.displayName(), listener.command);
    }
    return text(QT_TRANSLATE_NOOP("vantu-cli", "%1 (%2, PID %3)"))
        .arg(listener.displayName(), listener.command)
        .arg(listener.pid);
}

// "Port 3000: what happened".
QString aboutPort(uint16_t port, const QString& what) {
    return text(QT_TRANSLATE_NOOP("vantu-cli", "Port %1: %2")).arg(port).arg(what);
}

// Every message on standard error names the program and shows no raw control character.
void complain(CliContext& context, const QString& message) {
    context.err << u"vantu-cli: "_s << visible(message) << Qt::endl;
}

std::optional<ListenerInventory> takeSnapshot(CliContext& context) {
    auto result = SnapshotAssembly::take(context.enumerator, context.settings, context.overrides, context.containers);
    if (const auto* error = std::get_if<ServiceError>(&result)) {
        complain(context, errorDescription(*error));
        return std::nullopt;
    }
    return std::get<ListenerInventory>(std::move(result));
}

int worse(int a, int b) {
    // Failure outranks "nothing to do", which outranks success.
    const auto rank = [](int code) { return code == kFailed ? 2 : code == kNothingToDo ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

// A stop the command sent (or found already done), and the ports whose fate it decides.
struct SentStop {
    StopSent sent;
    QList<uint16_t> ports;
    bool force = false;
};

// What stopping the asked ports has done so far.
struct PortOutcome {
    int status = kDone;
    QList<SentStop> stops;
};

QString stoppedSentence(const StopTarget& target, bool force, uint16_t port) {
    if (target.kind() == StopTarget::Kind::userUnit) {
        return text(QT_TRANSLATE_NOOP("vantu-cli", "Asked systemd to stop the unit %1 on port %2."))
            .arg(target.description())
            .arg(port);
    }
    if (target.isContainers()) {
        const QString engine = target.containers().constFirst().endpoint.engineName();
        return (force ? text(QT_TRANSLATE_NOOP("vantu-cli", "Asked %1 to kill %2 on port %3."))
                      : text(QT_TRANSLATE_NOOP("vantu-cli", "Asked %1 to stop %2 on port %3.")))
            .arg(engine, target.description())
            .arg(port);
    }
    return (force ? text(QT_TRANSLATE_NOOP("vantu-cli", "Killed %1 on port %2."))
                  : text(QT_TRANSLATE_NOOP("vantu-cli", "Asked %1 to stop on port %2.")))
        .arg(target.description())
        .arg(port);
}

// Sends the stop of one target for `port`; a target that had already ended still has its port's
// verdict to give.
void sendStop(uint16_t port, const StopTarget& target, const CliArguments& arguments, CliContext& context,
              PortOutcome& outcome) {
    const StopSendResult result = context.service.send(target, arguments.force).result();
    if (const auto* sent = std::get_if<StopSent>(&result)) {
        context.out << visible(stoppedSentence(sent->target, arguments.force, port)) << Qt::endl;
        outcome.stops.append({*sent, {port}, arguments.force});
        return;
    }
    const auto& failure = std::get<PortServiceError>(result);
    if (failure.errorCase() == PortServiceError::Case::processExited) {
        outcome.stops.append({StopSent{target, {}}, {port}, arguments.force});
    } else if (failure.errorCase() == PortServiceError::Case::refused) {
        complain(context, aboutPort(port, failure.errorDescription()));
        outcome.status = worse(outcome.status, kFailed);
    } else {
        complain(context, aboutPort(port, target.description() + u": "_s + failure.errorDescription()));
        outcome.status = worse(outcome.status, kFailed);
    }
}

// Stops the container that publishes the port through its engine, or with --session its whole
// compose project.
void stopContainer(uint16_t port, const Listener& listener, const CliArguments& arguments, CliContext& context,
                   PortOutcome& outcome) {
    if (!arguments.all && !DevelopmentPortFilter::includes(listener, context.settings)) {
        complain(context, text(QT_TRANSLATE_NOOP("vantu-cli",
                                                 "Port %1 is hidden by your discovery settings. Add "
                                                 "--all to stop its container anyway."))
                              .arg(port));
        outcome.status = worse(outcome.status, kNothingToDo);
        return;
    }
    const auto earlier = std::find_if(outcome.stops.begin(), outcome.stops.end(),
                                      [&](const SentStop& stop) { return stop.sent.target.covers(listener); });
    if (earlier != outcome.stops.end()) {
        // Published on two addresses, or one of a project stopped for an earlier port.
        if (!earlier->ports.contains(port)) {
            earlier->ports.append(port);
        }
        return;
    }
    const ListenerContainer& container = *listener.container;
    sendStop(port,
             arguments.group && !container.composeMembers.isEmpty()
                 ? StopTarget::composeProject(container.container.compose->project, container.composeMembers)
                 : StopTarget::container(container.target()),
             arguments, context, outcome);
}

// Decides about every listener on the port and stops those it may stop.
void stopPort(uint16_t port, const ListenerInventory& inventory, const CliArguments& arguments, CliContext& context,
              PortOutcome& outcome) {
    QList<Listener> onPort;
    std::copy_if(inventory.listeners.cbegin(), inventory.listeners.cend(), std::back_inserter(onPort),
                 [port](const Listener& listener) { return listener.port == port; });
    if (onPort.isEmpty()) {
        const bool someoneElses = std::any_of(inventory.foreign.cbegin(), inventory.foreign.cend(),
                                              [port](const ForeignPort& foreign) { return foreign.port == port; });
        if (someoneElses) {
            complain(context, aboutPort(port, PortServiceError::protectedProcess().errorDescription()));
            outcome.status = worse(outcome.status, kFailed);
        } else {
            complain(context, text(QT_TRANSLATE_NOOP("vantu-cli", "Nothing is listening on port %1.")).arg(port));
            outcome.status = worse(outcome.status, kNothingToDo);
        }
        return;
    }
    for (const Listener& listener : onPort) {
        if (listener.container) {
            stopContainer(port, listener, arguments, context, outcome);
        } else if (!listener.canTerminate()) {
            // Another user's process, or one we may never signal: the stop refuses it before
            // touching anything, and says so in its own words.
            const StopSendResult refused =
                listener.identity
                    ? context.service.send(StopTarget::process(*listener.identity, describe(listener)), arguments.force)
                          .result()
                    : StopSendResult(PortServiceError::protectedProcess());
            const auto* failure = std::get_if<PortServiceError>(&refused);
            complain(context,
                     aboutPort(port, describe(listener) + u": "_s +
                                         (failure != nullptr ? failure->errorDescription()
                                                             : text(QT_TRANSLATE_NOOP("vantu-cli", "not stopped.")))));
            outcome.status = worse(outcome.status, kFailed);
        } else if (!arguments.all && !DevelopmentPortFilter::includes(listener, context.settings)) {
            complain(context,
                     text(QT_TRANSLATE_NOOP("vantu-cli",
                                            "Port %1 is held by %2, which your discovery settings do not show as a dev "
                                            "server. Add --all to stop it anyway."))
                         .arg(port)
                         .arg(describe(listener)));
            outcome.status = worse(outcome.status, kNothingToDo);
        } else if (!arguments.group) {
            sendStop(port, StopTarget::process(*listener.identity, describe(listener)), arguments, context, outcome);
        } else if (auto earlier = std::find_if(outcome.stops.begin(), outcome.stops.end(),
                                               [&](const SentStop& stop) { return stop.sent.target.covers(listener); });
                   earlier != outcome.stops.end()) {
            // Its group was stopped for an earlier port: signalled once, its fate told for both.
            if (!earlier->ports.contains(port)) {
                earlier->ports.append(port);
            }
        } else if (const auto group = ProcessGroups::of(*listener.identity)) {
            // Its manager would start a signalled server again: the unit is what is stopped.
            sendStop(port, group->unit ? StopTarget::userUnit(*group) : StopTarget::processGroup(*group), arguments,
                     context, outcome);
        } else {
            // Gone already: the port's verdict tells the rest.
            outcome.stops.append(
                {StopSent{StopTarget::process(*listener.identity, describe(listener)), {}}, {port}, arguments.force});
        }
    }
}

// The ports named, then those of each range on which anything listens, in order; a range on
// which nothing listens is said to be empty.
QList<uint16_t> portsToStop(const CliArguments& arguments, const ListenerInventory& inventory, CliContext& context,
                            PortOutcome& outcome) {
    QList<uint16_t> ports = arguments.ports;
    for (const PortRules::Range& range : arguments.ranges) {
        QList<uint16_t> listening;
        const auto take = [&](uint16_t port) {
            if (port >= range.lower && port <= range.upper && !listening.contains(port)) {
                listening.append(port);
            }
        };
        for (const Listener& listener : inventory.listeners) {
            take(listener.port);
        }
        for (const ForeignPort& foreign : inventory.foreign) {
            take(foreign.port);
        }
        if (listening.isEmpty()) {
            complain(context, text(QT_TRANSLATE_NOOP("vantu-cli", "Nothing is listening on ports %1–%2."))
                                  .arg(range.lower)
                                  .arg(range.upper));
            outcome.status = worse(outcome.status, kNothingToDo);
        }
        std::sort(listening.begin(), listening.end());
        for (const uint16_t port : std::as_const(listening)) {
            if (!ports.contains(port)) {
                ports.append(port);
            }
        }
    }
    return ports;
}

// Says what became of each port of a stop, and of its group's processes: free, taken again and
// by whom, or still held when the wait ran out.
int report(const SentStop& stop, const StopAftermath& aftermath, CliContext& context) {
    int status = kDone;
    for (const PortVerdict& verdict : aftermath.verdicts) {
        if (verdict.isFree()) {
            context.out << verdict.message() << Qt::endl;
        } else {
            complain(context, verdict.message());
            status = kFailed;
        }
    }
    const QString seconds = QString::number(static_cast<double>(context.releaseWait.count()) / 1000.0);
    for (const uint16_t port : aftermath.stillHeld) {
        complain(context,
                 (stop.force ? text(QT_TRANSLATE_NOOP("vantu-cli", "Port %1 is still in use after %2 s."))
                             : text(QT_TRANSLATE_NOOP("vantu-cli",
                                                      "Port %1 is still in use after %2 s. Try again with --force.")))
                     .arg(port)
                     .arg(seconds));
        status = kFailed;
    }
    if (aftermath.lookFailed) {
        complain(context, errorDescription(*aftermath.lookFailed));
        status = kFailed;
    }
    // A group is stopped once every member has ended, not only the one that listened: what lingers
    // (a bundler's service process, a parent that ignores SIGINT) is named.
    if (stop.sent.target.kind() != StopTarget::Kind::process && !aftermath.stillRunning.isEmpty()) {
        const char* sentence =
            stop.force ? QT_TRANSLATE_N_NOOP("vantu-cli", "Port %1: %n processes of its group still run.")
                       : QT_TRANSLATE_N_NOOP("vantu-cli",
                                             "Port %1: %n processes of its group still run. Try again with --force.");
        for (const uint16_t port : stop.ports) {
            complain(context, text(sentence, static_cast<int>(aftermath.stillRunning.size())).arg(port));
        }
        status = kFailed;
    }
    return status;
}

// Waits for every stop at once, within one deadline, then reports each. A stopped process can
// linger as a zombie until its parent reaps it, but the wait asks for the end of that very
// process, and a zombie holds no sockets.
int awaitStops(const QList<SentStop>& stops, CliContext& context) {
    QThreadPool waits;
    waits.setMaxThreadCount(static_cast<int>(std::clamp<qsizetype>(stops.size(), 1, 256)));
    QList<QFuture<StopAftermath>> outcomes;
    for (const SentStop& stop : stops) {
        outcomes.append(QtConcurrent::run(&waits, [&context, &stop] {
            return StopPlan::awaitOutcome(context.enumerator, stop.sent, stop.ports, context.releaseWait,
                                          StopPlan::kRestartWatch);
        }));
    }
    int status = kDone;
    for (qsizetype i = 0; i < stops.size(); ++i) {
        status = worse(status, report(stops[i], outcomes[i].result(), context));
    }
    return status;
}

// Everything written must have reached its destination: a full disk or a closed pipe is a
// failure, not a success.
int finishOutput(int status, CliContext& context) {
    context.out.flush();
    if (context.out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return status;
    }
    const int error = errno != 0 ? errno : EIO;
    complain(context,
             text(QT_TRANSLATE_NOOP("vantu-cli", "Couldn’t write the output: %1.")).arg(platform::errorText(error)));
    return kFailed;
}

}  // namespace

int runList(const CliArguments& arguments, CliContext& context) {
    const auto snapshot = takeSnapshot(context);
    if (!snapshot) {
        return kFailed;
    }
    QList<Listener> shown;
    std::copy_if(snapshot->listeners.cbegin(), snapshot->listeners.cend(), std::back_inserter(shown),
                 [&](const Listener& listener) {
                     return arguments.all ? listener.canStop() && !ContainerRows::isEngineHelper(listener)
                                          : DevelopmentPortFilter::includes(listener, context.settings);
                 });
    if (arguments.json) {
        // Only the JSON report shows each server's group, memory and address: the table does not
        // pay for reading them, nor for the address's TLS probe.
        const auto every = [](const Listener&) { return true; };
        shown = SnapshotAssembly::withResidentMemory(SnapshotAssembly::withGroups(std::move(shown), every), every);
        const QJsonObject report = toJson(shown, arguments.all ? snapshot->foreign : QList<ForeignPort>{},
                                          QDateTime::currentSecsSinceEpoch(), ServerUrls::of(shown), context.settings);
        context.out << QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Indented));
    } else if (shown.isEmpty()) {
        context.out << (arguments.all ? text(QT_TRANSLATE_NOOP("vantu-cli", "Nothing of yours is listening."))
                                      : text(QT_TRANSLATE_NOOP("vantu-cli", "No dev servers found.")))
                    << u'\n';
    } else {
        context.out << formatTable(shown, QDateTime::currentSecsSinceEpoch(), platform::terminalColumns());
    }
    return finishOutput(kDone, context);
}

int runOpen(const CliArguments& arguments, CliContext& context) {
    const auto snapshot = takeSnapshot(context);
    if (!snapshot) {
        return kFailed;
    }
    const uint16_t port = arguments.ports.front();
    const auto found =
        std::find_if(snapshot->listeners.cbegin(), snapshot->listeners.cend(),
                     [port](const Listener& listener) { return listener.port == port && listener.canStop(); });
    if (found == snapshot->listeners.cend()) {
        complain(context, text(QT_TRANSLATE_NOOP("vantu-cli", "Nothing of yours is listening on port %1.")).arg(port));
        return finishOutput(kNothingToDo, context);
    }
    const QString url = ServerUrls::of({*found}).front();
    if (const auto failure = platform::UrlOpener::open(url)) {
        complain(context, *failure);
        return finishOutput(kFailed, context);
    }
    context.out << text(QT_TRANSLATE_NOOP("vantu-cli", "Opened %1 (%2) in the browser.")).arg(url, describe(*found))
                << Qt::endl;
    return finishOutput(kDone, context);
}

int runStop(const CliArguments& arguments, CliContext& context) {
    // One look at what listens serves every port asked for.
    const auto snapshot = takeSnapshot(context);
    if (!snapshot) {
        return kFailed;
    }
    PortOutcome outcome;
    for (const uint16_t port : portsToStop(arguments, *snapshot, context, outcome)) {
        stopPort(port, *snapshot, arguments, context, outcome);
    }
    QList<SentStop>& stops = outcome.stops;
    int status = outcome.status;
    // A group may serve more ports than the ones asked for (concurrently's two servers): what
    // became of those is said too, once.
    QList<uint16_t> accounted;
    for (SentStop& stop : stops) {
        for (const uint16_t port : std::as_const(stop.ports)) {
            accounted.append(port);
        }
    }
    for (SentStop& stop : stops) {
        if (stop.sent.target.kind() == StopTarget::Kind::process) {
            continue;
        }
        for (const Listener& listener : snapshot->listeners) {
            if (!accounted.contains(listener.port) && stop.sent.target.covers(listener)) {
                stop.ports.append(listener.port);
                accounted.append(listener.port);
            }
        }
    }
    status = worse(status, awaitStops(stops, context));
    return finishOutput(status, context);
}

}  // namespace vantu::cli
