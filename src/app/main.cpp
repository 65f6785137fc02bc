// The tray app: one status icon whose popover lists the user's development servers.
#include "core/translations.h"
#include "platform/settings_store.h"
#include "service/port_service.h"
#include "store/port_store.h"
#include "ui/app_delegate.h"
#include "ui/desktop_services.h"
#include "ui/folder_chooser_dialog.h"
#include "ui/single_instance.h"
#include "ui/window_system_choice.h"
#ifdef VANTU_TEST_HOOKS
#include "app/test_report.h"
#endif

#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QMetaObject>

#include <cstdio>
#include <memory>
#include <optional>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

// Answered before any window system is needed, so that they work from any terminal.
std::optional<int> answerInformationalOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--help" || argument == "-h") {
            std::fputs(
                "Usage: vantu [--help] [--version]\n"
                "A tray app that lists the development servers you are running and stops them.\n\n"
                "  -h, --help     Show this help and exit.\n"
                "  -v, -V, --version\n"
                "                 Show the version and exit.\n\n"
                "Launched again while it runs, it opens the running app's panel. From a terminal,\n"
                "vantu-cli lists and stops the same servers.\n",
                stdout);
            return 0;
        }
        if (argument == "--version" || argument == "-v" || argument == "-V") {
            std::printf("vantu %s\n", VANTU_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

// Asks Qt for the window system the desktop places a popover on (see WindowSystemChoice), and
// answers whether it did.
bool requestWindowSystem() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const QByteArray x11 = qgetenv("DISPLAY");
    const auto chosen = vantu::WindowSystemChoice::platformFor(
        {platform.constData(), desktop.constData(), wayland.constData(), x11.constData()});
    if (!chosen) {
        return false;
    }
    qputenv("QT_QPA_PLATFORM", QByteArray(chosen->data(), static_cast<qsizetype>(chosen->size())));
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = answerInformationalOption(argc, argv)) {
        return *answered;
    }
    const bool windowSystemRequested = requestWindowSystem();
    QApplication app(argc, argv);
    // Only for the app's own start: the browser or file manager it launches must not inherit it.
    if (windowSystemRequested) {
        qunsetenv("QT_QPA_PLATFORM");
    }
    vantu::Translations::install(app);
    QApplication::setApplicationName(u"vantu"_s);
    QApplication::setApplicationDisplayName(u"Vantu"_s);
    QApplication::setApplicationVersion(QStringLiteral(VANTU_VERSION));
    // Closing the folder chooser or any other window never ends the app.
    QApplication::setQuitOnLastWindowClosed(false);

    // Options other than those answered above are refused as unknown.
    QCommandLineParser parser;
#ifdef VANTU_TEST_HOOKS
    // For the end-to-end tests and the benchmark: a report of what is shown.
    QCommandLineOption testReport(u"test-report"_s, QString(), u"file"_s);
    testReport.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(testReport);
#endif
    parser.process(app);

    // A second launch (the autostart entry, then a click in the menu) opens the first one's
    // panel instead of adding a second tray icon.
    vantu::SingleInstance instance;
    if (instance.handOver()) {
        return 0;
    }

    vantu::platform::SettingsStore settings(vantu::platform::SettingsStore::standardPath());
    auto store = std::make_unique<vantu::PortStore>(std::make_unique<vantu::PortService>(), settings,
                                                    vantu::folderChooserDialog());
    store->setDesktop(vantu::desktopServices());
    vantu::AppDelegate delegate(std::move(store), {}, QDBusConnection::sessionBus());
    QObject::connect(&instance, &vantu::SingleInstance::activationRequested, &delegate,
                     &vantu::AppDelegate::openPopover);
#ifdef VANTU_TEST_HOOKS
    std::optional<vantu::TestReport> report;
    if (parser.isSet(testReport)) {
        report.emplace(parser.value(testReport), delegate);
    }
#endif
    // Once the event loop runs, as a launch that has finished.
    QMetaObject::invokeMethod(&delegate, &vantu::AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
    return QApplication::exec();
}
