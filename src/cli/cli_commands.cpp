#include "cli/cli_commands.h"

#include "cli/listener_report.h"
#include "core/listener_parser.h"
#include "core/listener_scan.h"
#include "rules/development_port_filter.h"
#include "service/snapshot_assembly.h"

#include <QJsonDocument>
#include <QThread>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace vantu::cli {
namespace {

QString describe(const Listener& listener) {
    return listener.displayName() + u" ("_s + listener.command + u", PID "_s + QString::number(listener.pid) + u')';
}

std::optional<QList<Listener>> takeSnapshot(CliContext& context) {
    ListenerScan::Running scan = context.scan ? std::move(*context.scan) : ListenerScan().start();
    context.scan.reset();
    const SnapshotResult result = SnapshotAssembly::take(std::move(scan), context.settings, context.overrides);
    if (const auto* error = std::get_if<ServiceError>(&result)) {
        context.err << errorDescription(*error) << Qt::endl;
        return std::nullopt;
    }
    return std::get<QList<Listener>>(result);
}

// Whether any of these process instances still listens on the port. A stopped process can
// linger as a zombie until its parent reaps it, but a zombie holds no sockets, so ask the
// listing tool rather than the process table.
std::optional<bool> stillListening(uint16_t port, const QList<ProcessIdentity>& processes, CliContext& context) {
    const auto scan = ListenerScan().run();
    if (const auto* error = std::get_if<ServiceError>(&scan)) {
        context.err << errorDescription(*error) << Qt::endl;
        return std::nullopt;
    }
    const auto& outcome = std::get<ScanOutcome>(scan);
    if (!outcome.output) {
        return false;
    }
    const auto listeners = ListenerParser::parse(*outcome.output);
    return std::any_of(listeners.cbegin(), listeners.cend(), [&](const Listener& listener) {
        return listener.port == port && listener.identity && processes.contains(*listener.identity);
    });
}

int worse(int a, int b) {
    // Failure outranks "nothing to do", which outranks success.
    const auto rank = [](int code) { return code == kFailed ? 2 : code == kNothingToDo ? 1 : 0; };
    return rank(a) >= rank(b) ? a : b;
}

int stopPort(uint16_t port, const QList<Listener>& snapshot, const CliArguments& arguments, CliContext& context) {
    const QString portText = u"Port "_s + QString::number(port);
    QList<Listener> onPort;
    std::copy_if(snapshot.cbegin(), snapshot.cend(), std::back_inserter(onPort),
                 [port](const Listener& listener) { return listener.port == port; });
    if (onPort.isEmpty()) {
        context.err << u"Nothing is listening on port "_s << port << u'.' << Qt::endl;
        return kNothingToDo;
    }

    int status = kDone;
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
            status = worse(status, kFailed);
        } else if (!arguments.all && !DevelopmentPortFilter::includes(listener, context.settings)) {
            context.err << portText << u" is held by "_s << describe(listener)
                        << u", which your discovery settings do not show as a dev server. Add --all to stop it anyway."_s
                        << Qt::endl;
            status = worse(status, kNothingToDo);
        } else {
            targets.append(listener);
        }
    }
    if (targets.isEmpty()) {
        return status;
    }

    QList<ProcessIdentity> signalled;
    for (const Listener& listener : targets) {
        const StopResult result = context.service.stop(*listener.identity, arguments.force).result();
        if (result) {
            context.err << portText << u": "_s << describe(listener) << u": "_s << result->errorDescription()
                        << Qt::endl;
            status = worse(status, kFailed);
        } else {
            signalled.append(*listener.identity);
            context.out << (arguments.force ? u"Killed "_s : u"Asked "_s) << describe(listener)
                        << (arguments.force ? u" on port "_s : u" to stop on port "_s) << port << u'.' << Qt::endl;
        }
    }
    if (signalled.isEmpty()) {
        return status;
    }

    const auto deadline = std::chrono::steady_clock::now() + context.releaseWait;
    for (;;) {
        const auto listening = stillListening(port, signalled, context);
        if (!listening) {
            return kFailed;
        }
        if (!*listening) {
            context.out << portText << u" is free."_s << Qt::endl;
            return status;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            context.err << portText << u" is still in use after "_s
                        << QString::number(static_cast<double>(context.releaseWait.count()) / 1000.0)
                        << (arguments.force ? u" s."_s : u" s. Try again with --force."_s) << Qt::endl;
            return kFailed;
        }
        QThread::msleep(50);
    }
}

}  // namespace

int runList(const CliArguments& arguments, CliContext& context) {
    const auto snapshot = takeSnapshot(context);
    if (!snapshot) {
        return kFailed;
    }
    QList<Listener> shown;
    std::copy_if(snapshot->cbegin(), snapshot->cend(), std::back_inserter(shown), [&](const Listener& listener) {
        return arguments.all ? listener.canTerminate() : DevelopmentPortFilter::includes(listener, context.settings);
    });
    if (arguments.json) {
        context.out << QString::fromUtf8(QJsonDocument(toJson(shown)).toJson(QJsonDocument::Indented));
    } else if (shown.isEmpty()) {
        context.out << (arguments.all ? u"Nothing of yours is listening.\n"_s : u"No dev servers found.\n"_s);
    } else {
        context.out << formatTable(shown);
    }
    context.out.flush();
    return kDone;
}

int runStop(const CliArguments& arguments, CliContext& context) {
    const auto snapshot = takeSnapshot(context);
    if (!snapshot) {
        return kFailed;
    }
    int status = kDone;
    for (const uint16_t port : arguments.ports) {
        status = worse(status, stopPort(port, *snapshot, arguments, context));
    }
    context.out.flush();
    return status;
}

}  // namespace vantu::cli
