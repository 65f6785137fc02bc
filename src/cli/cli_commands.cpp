#include "cli/cli_commands.h"

#include "cli/listener_report.h"
#include "rules/development_port_filter.h"
#include "service/snapshot_assembly.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantu::cli {
namespace {

QString describe(const Listener& listener) {
    return listener.displayName() + u" ("_s + listener.command + u", PID "_s + QString::number(listener.pid) + u')';
}

std::optional<ListenerInventory> takeSnapshot(CliContext& context) {
    auto result = SnapshotAssembly::take(context.enumerator, context.settings, context.overrides);
    if (const auto* error = std::get_if<ServiceError>(&result)) {
        context.err << errorDescription(*error) << Qt::endl;
        return std::nullopt;
    }
    return std::get<ListenerInventory>(std::move(result));
}

int worse(int a, int b) {
    // Failure outranks "nothing to do", which outranks success.
    const auto rank = [](int code) { return code == kFailed ? 2 : code == kNothingToDo ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

// A port whose processes were signalled and whose release is awaited.
struct Signalled {
    uint16_t port = 0;
    QList<ProcessIdentity> processes;
    int status = kDone;
};

// Decides about every listener on the port and signals those it may stop. Returns what was
// signalled, with the status so far.
Signalled signalPort(uint16_t port, const ListenerInventory& inventory, const CliArguments& arguments,
                     CliContext& context) {
    const QString portText = u"Port "_s + QString::number(port);
    Signalled result{.port = port};
    QList<Listener> onPort;
    std::copy_if(inventory.listeners.cbegin(), inventory.listeners.cend(), std::back_inserter(onPort),
                 [port](const Listener& listener) { return listener.port == port; });
    if (onPort.isEmpty()) {
        const bool someoneElses = std::any_of(inventory.foreign.cbegin(), inventory.foreign.cend(),
                                              [port](const ForeignPort& foreign) { return foreign.port == port; });
        if (someoneElses) {
            context.err << portText << u": "_s << PortServiceError::protectedProcess().errorDescription() << Qt::endl;
            result.status = kFailed;
        } else {
            context.err << u"Nothing is listening on port "_s << port << u'.' << Qt::endl;
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
            context.err << portText << u": "_s << describe(listener) << u": "_s
                        << (refused ? refused->errorDescription() : u"not stopped."_s) << Qt::endl;
            result.status = worse(result.status, kFailed);
        } else if (!arguments.all && !DevelopmentPortFilter::includes(listener, context.settings)) {
            context.err
                << portText << u" is held by "_s << describe(listener)
                << u", which your discovery settings do not show as a dev server. Add --all to stop it anyway."_s
                << Qt::endl;
            result.status = worse(result.status, kNothingToDo);
        } else {
            targets.append(listener);
        }
    }
    for (const Listener& listener : targets) {
        const StopResult stopped = context.service.stop(*listener.identity, arguments.force).result();
        if (stopped) {
            context.err << portText << u": "_s << describe(listener) << u": "_s << stopped->errorDescription()
                        << Qt::endl;
            result.status = worse(result.status, kFailed);
        } else {
            result.processes.append(*listener.identity);
            context.out << (arguments.force ? u"Killed "_s : u"Asked "_s) << describe(listener)
                        << (arguments.force ? u" on port "_s : u" to stop on port "_s) << port << u'.' << Qt::endl;
        }
    }
    return result;
}

// Waits for every signalled port to be released, all within one deadline, and says how each
// ended. A stopped process can linger as a zombie until its parent reaps it, but a zombie holds
// no sockets, so the sockets are asked rather than the process table.
int awaitRelease(QList<Signalled>& ports, const CliArguments& arguments, CliContext& context) {
    const auto deadline = std::chrono::steady_clock::now() + context.releaseWait;
    QList<Signalled*> waiting;
    for (Signalled& port : ports) {
        if (!port.processes.isEmpty()) {
            waiting.append(&port);
        }
    }
    while (!waiting.isEmpty()) {
        for (qsizetype i = 0; i < waiting.size();) {
            Signalled& port = *waiting[i];
            const auto listening = context.enumerator.stillListening(port.port, port.processes);
            if (const auto* error = std::get_if<ServiceError>(&listening)) {
                context.err << errorDescription(*error) << Qt::endl;
                return kFailed;
            }
            if (!std::get<bool>(listening)) {
                context.out << u"Port "_s << port.port << u" is free."_s << Qt::endl;
                waiting.removeAt(i);
            } else {
                ++i;
            }
        }
        if (waiting.isEmpty()) {
            break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            for (const Signalled* port : waiting) {
                context.err << u"Port "_s << port->port << u" is still in use after "_s
                            << QString::number(static_cast<double>(context.releaseWait.count()) / 1000.0)
                            << (arguments.force ? u" s."_s : u" s. Try again with --force."_s) << Qt::endl;
            }
            return kFailed;
        }
        QThread::msleep(50);
    }
    return kDone;
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
        QJsonArray array = toJson(shown);
        if (arguments.all) {
            for (const QJsonValue& other : toJson(snapshot->foreign)) {
                array.append(other);
            }
        }
        context.out << QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented));
    } else if (shown.isEmpty()) {
        context.out << (arguments.all ? u"Nothing of yours is listening.\n"_s : u"No dev servers found.\n"_s);
    } else {
        context.out << formatTable(shown);
    }
    context.out.flush();
    return kDone;
}

int runStop(const CliArguments& arguments, CliContext& context) {
    // One look at what listens serves every port asked for.
    const auto snapshot = takeSnapshot(context);
    if (!snapshot) {
        return kFailed;
    }
    QList<Signalled> ports;
    int status = kDone;
    for (const uint16_t port : arguments.ports) {
        ports.append(signalPort(port, *snapshot, arguments, context));
        status = worse(status, ports.back().status);
    }
    status = worse(status, awaitRelease(ports, arguments, context));
    context.out.flush();
    return status;
}

}  // namespace vantu::cli
