#include "cli/cli_arguments.h"
#include <QCoreApplication>

#include <optional>

using namespace Qt::StringLiterals;

namespace vantu::cli {
namespace {

// A port is written as plain decimal digits, 1 to 65535; nothing else is guessed at.
std::optional<uint16_t> parsePort(const QString& text) {
    if (text.isEmpty() || text.size() > 5) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<uint32_t>(c.unicode() - u'0');
    }
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

}  // namespace

std::variant<CliArguments, UsageError> parseArguments(const QStringList& arguments) {
    CliArguments parsed;
    if (arguments.isEmpty()) {
        return UsageError{QCoreApplication::translate("vantu-cli", "No command given. Try ‘vantu-cli --help’.")};
    }
    const QString& command = arguments.front();
    if (command == u"--help" || command == u"-h" || command == u"help") {
        parsed.command = CliArguments::Command::help;
        return parsed;
    }
    // Both spellings, as the tray app takes them too.
    if (command == u"--version" || command == u"-V" || command == u"-v") {
        parsed.command = CliArguments::Command::version;
        return parsed;
    }
    if (command == u"list") {
        parsed.command = CliArguments::Command::list;
    } else if (command == u"stop") {
        parsed.command = CliArguments::Command::stop;
    } else if (command == u"open") {
        parsed.command = CliArguments::Command::open;
    } else {
        return UsageError{
            QCoreApplication::translate("vantu-cli", "Unknown command ‘%1’. Try ‘vantu-cli --help’.").arg(command)};
    }

    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == u"--help" || argument == u"-h") {
            parsed.command = CliArguments::Command::help;
            return parsed;
        }
        if (argument == u"--all" && parsed.command != CliArguments::Command::open) {
            parsed.all = true;
        } else if (argument == u"--json" && parsed.command == CliArguments::Command::list) {
            parsed.json = true;
        } else if (argument == u"--force" && parsed.command == CliArguments::Command::stop) {
            parsed.force = true;
        } else if (argument == u"--session" && parsed.command == CliArguments::Command::stop) {
            parsed.group = true;
        } else if (argument.startsWith(u'-') && !argument.isEmpty() && argument.size() > 1 &&
                   !argument.at(1).isDigit()) {
            return UsageError{
                QCoreApplication::translate("vantu-cli", "Unknown option ‘%1’ for ‘%2’.").arg(argument, command)};
        } else if (parsed.command == CliArguments::Command::open && !parsed.ports.isEmpty()) {
            return UsageError{
                QCoreApplication::translate("vantu-cli", "Unexpected argument ‘%1’ for ‘open’: it opens one port.")
                    .arg(argument)};
        } else if (parsed.command == CliArguments::Command::stop && argument.indexOf(u'-', 1) > 0) {
            // A range, read and checked as the discovery settings read theirs.
            const auto rules = PortRules::parse(argument);
            if (const auto* invalid = std::get_if<PortRules::ValidationError>(&rules)) {
                return UsageError{invalid->errorDescription()};
            }
            for (const PortRules::Range& range : std::get<PortRules>(rules).ranges()) {
                if (!parsed.ranges.contains(range)) {
                    parsed.ranges.append(range);
                }
            }
        } else if (parsed.command == CliArguments::Command::stop || parsed.command == CliArguments::Command::open) {
            const auto port = parsePort(argument);
            if (!port) {
                return UsageError{
                    QCoreApplication::translate("vantu-cli", "Invalid port ‘%1’. Use a number from 1 to 65535.")
                        .arg(argument)};
            }
            if (!parsed.ports.contains(*port)) {
                parsed.ports.append(*port);
            }
        } else {
            return UsageError{
                QCoreApplication::translate("vantu-cli", "Unexpected argument ‘%1’ for ‘list’.").arg(argument)};
        }
    }
    if (parsed.command == CliArguments::Command::stop && parsed.ports.isEmpty() && parsed.ranges.isEmpty()) {
        return UsageError{
            QCoreApplication::translate("vantu-cli", "Name at least one port to stop, e.g. ‘vantu-cli stop 3000’.")};
    }
    if (parsed.command == CliArguments::Command::open && parsed.ports.isEmpty()) {
        return UsageError{
            QCoreApplication::translate("vantu-cli", "Name the port to open, e.g. ‘vantu-cli open 3000’.")};
    }
    return parsed;
}

QString usageText() {
    return QCoreApplication::translate("vantu-cli", R"(Usage:
  vantu-cli list [--all] [--json]
  vantu-cli stop PORT|FIRST-LAST... [--force] [--all] [--session]
  vantu-cli open PORT
  vantu-cli --help | --version

Lists the development servers you are running, with the project each belongs to, and stops
them safely: only your own processes, and only the very process that was found listening.

list       Shows what the tray app would show, under your discovery settings.
  --all    Every listening socket of yours, dev server or not.
  --json   JSON for scripts instead of a table (format 1, described in vantu-cli(1)), with each
           server’s web address (https when it answers a TLS handshake), bound addresses,
           start time, uptime and memory.

stop       Sends SIGTERM to each process listening on PORT, then waits up to 3 seconds for
           the port to be released and says whether it was.
  --force  Sends SIGKILL instead.
  --all    Also stops processes of yours that are not dev servers.
  --session
           Stops everything started with the server, as Ctrl+C in its terminal would: SIGINT
           (SIGKILL with --force) to every process of its process group.

open       Opens the server of yours on PORT in the browser, through xdg-open.

Exit status: 0 done; 1 nothing to do (no matching listener); 2 a scan, a stop or the opener
failed, or a port was not released; 64 the command line was not understood.
)");
}

}  // namespace vantu::cli
