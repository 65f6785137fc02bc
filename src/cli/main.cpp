// vantu-cli: list and stop your development servers from a terminal, with the same safety
// checks and the same settings as the tray app.
#include "cli/cli_arguments.h"
#include "cli/cli_commands.h"
#include "cli/listener_report.h"
#include "core/translations.h"
#include "platform/settings_store.h"
#include "rules/discovery_settings.h"
#include "service/port_service.h"
#include "service/project_overrides.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTextStream>

#include <cstdio>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    QStringList words;
    for (int i = 1; i < argc; ++i) {
        words.append(QString::fromLocal8Bit(argv[i]));
    }
    QCoreApplication app(argc, argv);
    // A failed scan or stop is reported in the command's own words on standard error; the log's
    // line for the same failure would say it twice. QT_LOGGING_RULES can still turn them on.
    QLoggingCategory::setFilterRules(
        u"vantu.scan.warning=false\nvantu.stop.warning=false\nvantu.settings.warning=false"_s);
    // Before the arguments are judged: a usage error speaks the user's language too.
    vantu::Translations::install(app);
    const auto parsed = vantu::cli::parseArguments(words);
    QCoreApplication::setApplicationName(u"vantu-cli"_s);
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTU_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);

    if (const auto* usage = std::get_if<vantu::cli::UsageError>(&parsed)) {
        err << u"vantu-cli: "_s << vantu::visible(usage->message) << Qt::endl;
        return vantu::cli::kUsage;
    }
    const auto& arguments = std::get<vantu::cli::CliArguments>(parsed);
    switch (arguments.command) {
        case vantu::cli::CliArguments::Command::help:
            out << vantu::cli::usageText();
            return vantu::cli::kDone;
        case vantu::cli::CliArguments::Command::version:
            out << u"vantu-cli "_s << QCoreApplication::applicationVersion() << Qt::endl;
            return vantu::cli::kDone;
        case vantu::cli::CliArguments::Command::list:
        case vantu::cli::CliArguments::Command::stop:
        case vantu::cli::CliArguments::Command::open:
            break;
    }

    const vantu::platform::SettingsStore store(vantu::platform::SettingsStore::standardPath());
    if (store.readProblem()) {
        err << u"vantu-cli: "_s << *store.readProblem() << Qt::endl;
    }
    const vantu::PortService service;
    const vantu::ContainerScan containers;
    vantu::cli::CliContext context{
        .service = service,
        .settings = vantu::DiscoverySettings::load(store),
        .overrides = vantu::ProjectOverridesStorage::load(store),
        .out = out,
        .err = err,
        .containers = &containers,
    };
    switch (arguments.command) {
        case vantu::cli::CliArguments::Command::list:
            return vantu::cli::runList(arguments, context);
        case vantu::cli::CliArguments::Command::open:
            return vantu::cli::runOpen(arguments, context);
        default:
            return vantu::cli::runStop(arguments, context);
    }
}
