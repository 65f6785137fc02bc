#include "cli/cli_commands.h"
#include <QCoreApplication>

#include "cli/listener_report.h"
#include "core/port_release.h"
#include "core/process_group.h"
#include "core/process_stopper.h"
#include "platform/process_signal.h"
#include "platform/user_units.h"
#include "rules/development_port_filter.h"
#include "service/snapshot_assembly.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace vantu::cli {
namespace {

// The sentence in the user's language; each is marked where it is used, for lupdate to find.
QString text(const char* sentence, int count = -1) {
    return QCoreApplication::translate("vantu-cli", sentence, nullptr, count);
}

QString describe(const Listener& listener) {
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
    auto result = SnapshotAssembly::take(context.enumerator, context.settings, context.overrides);
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

// A port whose processes were stopped (or had already ended), awaiting its verdict.
struct StoppedPort {
    uint16_t port = 0;
    // The processes signalled for it, which must let go of it first.
    QList<ProcessIdentity> processes;
    // Who started them: what they start next may be the server coming back.
    std::vector<Supervisor> supervisors;
    // Whether there is anything to wait for: a signal was sent, or the process was already gone.
    bool stopped = false;
    int status = kDone;
};

// Stops the process group of each target as Ctrl+C would, or refuses the whole group.
void stopGroups(uint16_t port, const QList<Listener>& targets, const CliArguments& arguments, CliContext& context,
                StoppedPort& result) {
    for (const Listener& listener : targets) {
        const auto group = ProcessGroups::of(*listener.identity);
        if (!group) {
            result.stopped = true;  // gone already: the port's verdict tells the rest
            continue;
        }
        if (group->refusal) {
            complain(context, aboutPort(port, *group->refusal));
            result.status = worse(result.status, kFailed);
            continue;
        }
        if (group->unit) {
            // Its manager would start a signalled server again; the unit is what is stopped.
            if (const auto failed = platform::UserUnits::stop(*group->unit)) {
                complain(context, aboutPort(port, *failed));
                result.status = worse(result.status, kFailed);
                continue;
            }
            context.out << visible(text(QT_TRANSLATE_NOOP("vantu-cli", "Asked systemd to stop the unit %1 on port %2."))
                                       .arg(*group->unit)
                                       .arg(port))
                        << Qt::endl;
        } else {
            if (const auto failed = ProcessGroups::signal(*group, arguments.force ? SIGKILL : SIGINT)) {
                complain(context, aboutPort(port, group->description() + u": "_s + failed->errorDescription()));
                result.status = worse(result.status, kFailed);
            }
            context.out << visible((arguments.force
                                        ? text(QT_TRANSLATE_NOOP("vantu-cli", "Killed %1 on port %2."))
                                        : text(QT_TRANSLATE_NOOP("vantu-cli", "Asked %1 to stop on port %2.")))
                                       .arg(group->description())
                                       .arg(port))
                        << Qt::endl;
        }
        result.stopped = true;
        for (const ProcessIdentity& member : group->members) {
            if (!result.processes.contains(member)) {
                result.processes.append(member);
            }
        }
    }
}

// Decides about every listener on the port and stops those it may stop.
StoppedPort stopPort(uint16_t port, const ListenerInventory& inventory, const CliArguments& arguments,
                     CliContext& context) {
    StoppedPort result{.port = port};
    QList<Listener> onPort;
    std::copy_if(inventory.listeners.cbegin(), inventory.listeners.cend(), std::back_inserter(onPort),
                 [port](const Listener& listener) { return listener.port == port; });
    if (onPort.isEmpty()) {
        const bool someoneElses = std::any_of(inventory.foreign.cbegin(), inventory.foreign.cend(),
                                              [port](const ForeignPort& foreign) { return foreign.port == port; });
        if (someoneElses) {
            complain(context, aboutPort(port, PortServiceError::protectedProcess().errorDescription()));
            result.status = kFailed;
        } else {
            complain(context, text(QT_TRANSLATE_NOOP("vantu-cli", "Nothing is listening on port %1.")).arg(port));
            result.status = kNothingToDo;
        }
        return result;
    }

    QList<Listener> targets;
    for (const Listener& listener : onPort) {
        if (!listener.canTerminate()) {
            // Another user's process, or one we may never signal: the stop path refuses it
            // before touching anything, and says so in its own words.
            const StopResult refused = listener.identity
                                           ? context.service.stop(*listener.identity, arguments.force).result()
                                           : StopResult(PortServiceError::protectedProcess());
            complain(context, aboutPort(port, describe(listener) + u": "_s +
                                                  (refused ? refused->errorDescription()
                                                           : text(QT_TRANSLATE_NOOP("vantu-cli", "not stopped.")))));
            result.status = worse(result.status, kFailed);
        } else if (!arguments.all && !DevelopmentPortFilter::includes(listener, context.settings)) {
            complain(context,
                     text(QT_TRANSLATE_NOOP("vantu-cli",
                                            "Port %1 is held by %2, which your discovery settings do not show as a dev "
                                            "server. Add --all to stop it anyway."))
                         .arg(port)
                         .arg(describe(listener)));
            result.status = worse(result.status, kNothingToDo);
        } else {
            targets.append(listener);
        }
    }
    if (arguments.group) {
        stopGroups(port, targets, arguments, context, result);
        return result;
    }
    for (const Listener& listener : targets) {
        // Read before the signal: afterwards the process may be gone, and with it who its parent was.
        const auto supervisor = PortRelease::supervisorOf(*listener.identity);
        const StopResult stopped = context.service.stop(*listener.identity, arguments.force).result();
        if (stopped && stopped->errorCase() == PortServiceError::Case::processExited) {
            // Gone before the signal, and nobody took its pid: the port's verdict says the rest.
            result.stopped = true;
        } else if (stopped) {
            complain(context, aboutPort(port, describe(listener) + u": "_s + stopped->errorDescription()));
            result.status = worse(result.status, kFailed);
        } else {
            result.stopped = true;
            result.processes.append(*listener.identity);
            if (supervisor) {
                result.supervisors.push_back(*supervisor);
            }
            context.out << visible((arguments.force
                                        ? text(QT_TRANSLATE_NOOP("vantu-cli", "Killed %1 on port %2."))
                                        : text(QT_TRANSLATE_NOOP("vantu-cli", "Asked %1 to stop on port %2.")))
                                       .arg(describe(listener))
                                       .arg(port))
                        << Qt::endl;
        }
    }
    return result;
}

// Waits for every stopped port to be let go of, all within one deadline, then says who holds
// each port now. A stopped process can linger as a zombie until its parent reaps it, but a
// zombie holds no sockets, so the sockets are asked rather than the process table.
int awaitRelease(QList<StoppedPort>& ports, const CliArguments& arguments, CliContext& context) {
    const auto deadline = std::chrono::steady_clock::now() + context.releaseWait;
    QList<StoppedPort*> waiting;
    for (StoppedPort& port : ports) {
        if (port.stopped) {
            waiting.append(&port);
        }
    }
    int status = kDone;
    while (!waiting.isEmpty()) {
        for (qsizetype i = 0; i < waiting.size();) {
            StoppedPort& port = *waiting[i];
            const auto held = context.enumerator.stillListening(port.port, port.processes);
            if (const auto* error = std::get_if<ServiceError>(&held)) {
                complain(context, errorDescription(*error));
                return kFailed;
            }
            if (std::get<bool>(held)) {
                ++i;
                continue;
            }
            waiting.removeAt(i);
            const auto verdict =
                PortRelease::settle(context.enumerator, port.port, port.supervisors,
                                    std::chrono::duration_cast<std::chrono::milliseconds>(context.releaseWait));
            if (const auto* error = std::get_if<ServiceError>(&verdict)) {
                complain(context, errorDescription(*error));
                status = kFailed;
            } else if (std::get<PortVerdict>(verdict).isFree()) {
                context.out << std::get<PortVerdict>(verdict).message() << Qt::endl;
            } else {
                complain(context, std::get<PortVerdict>(verdict).message());
                status = kFailed;
            }
        }
        if (waiting.isEmpty()) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            for (const StoppedPort* port : waiting) {
                const QString seconds = QString::number(static_cast<double>(context.releaseWait.count()) / 1000.0);
                complain(
                    context,
                    (arguments.force ? text(QT_TRANSLATE_NOOP("vantu-cli", "Port %1 is still in use after %2 s."))
                                     : text(QT_TRANSLATE_NOOP(
                                           "vantu-cli", "Port %1 is still in use after %2 s. Try again with --force.")))
                        .arg(port->port)
                        .arg(seconds));
            }
            return kFailed;
        }
        QThread::msleep(50);
    }
    return status;
}

// A group is stopped once every member has ended, not only the one that listened: what lingers
// (a bundler's service process, a parent that ignores SIGINT) is named.
int awaitGroups(const QList<StoppedPort>& ports, std::chrono::steady_clock::time_point deadline,
                const CliArguments& arguments, CliContext& context) {
    int status = kDone;
    for (const StoppedPort& port : ports) {
        qsizetype lingering = 0;
        for (const ProcessIdentity& member : port.processes) {
            const auto left =
                std::max(std::chrono::steady_clock::duration(0), deadline - std::chrono::steady_clock::now());
            if (!ProcessStopper::awaitExit(member, std::chrono::ceil<std::chrono::milliseconds>(left))) {
                ++lingering;
            }
        }
        if (lingering > 0) {
            const char* sentence =
                arguments.force
                    ? QT_TRANSLATE_N_NOOP("vantu-cli", "Port %1: %n processes of its group still run.")
                    : QT_TRANSLATE_N_NOOP("vantu-cli",
                                          "Port %1: %n processes of its group still run. Try again with --force.");
            complain(context, text(sentence, static_cast<int>(lingering)).arg(port.port));
            status = kFailed;
        }
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
                     return arguments.all ? listener.canTerminate()
                                          : DevelopmentPortFilter::includes(listener, context.settings);
                 });
    if (arguments.json) {
        // Only the JSON report shows each server's group: the table does not pay for reading them.
        shown = SnapshotAssembly::withGroups(std::move(shown), [](const Listener&) { return true; });
        QJsonArray array = toJson(shown);
        if (arguments.all) {
            for (const QJsonValue& other : toJson(snapshot->foreign)) {
                array.append(other);
            }
        }
        context.out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    } else if (shown.isEmpty()) {
        context.out << (arguments.all ? text(QT_TRANSLATE_NOOP("vantu-cli", "Nothing of yours is listening."))
                                      : text(QT_TRANSLATE_NOOP("vantu-cli", "No dev servers found.")))
                    << u'\n';
    } else {
        context.out << formatTable(shown);
    }
    return finishOutput(kDone, context);
}

int runStop(const CliArguments& arguments, CliContext& context) {
    // One look at what listens serves every port asked for.
    const auto snapshot = takeSnapshot(context);
    if (!snapshot) {
        return kFailed;
    }
    QList<StoppedPort> ports;
    int status = kDone;
    for (const uint16_t port : arguments.ports) {
        ports.append(stopPort(port, *snapshot, arguments, context));
        status = worse(status, ports.back().status);
    }
    if (arguments.group) {
        // A group may serve more ports than the ones asked for (concurrently's two servers):
        // what became of those is said too.
        const qsizetype asked = ports.size();
        for (qsizetype i = 0; i < asked; ++i) {
            for (const Listener& listener : snapshot->listeners) {
                const bool known = std::any_of(ports.cbegin(), ports.cend(), [&](const StoppedPort& stopped) {
                    return stopped.port == listener.port;
                });
                if (!known && listener.identity && ports[i].processes.contains(*listener.identity)) {
                    ports.append(StoppedPort{
                        .port = listener.port, .processes = ports[i].processes, .supervisors = {}, .stopped = true});
                }
            }
        }
    }
    const auto started = std::chrono::steady_clock::now();
    status = worse(status, awaitRelease(ports, arguments, context));
    if (arguments.group) {
        status = worse(status, awaitGroups(ports, started + context.releaseWait, arguments, context));
    }
    return finishOutput(status, context);
}

}  // namespace vantu::cli
