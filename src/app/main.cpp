// The tray app: one status icon whose popover lists the user's development servers.
#include "app/test_report.h"
#include "platform/settings_store.h"
#include "service/port_service.h"
#include "store/port_store.h"
#include "ui/app_delegate.h"
#include "ui/folder_chooser_dialog.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMetaObject>

#include <memory>
#include <optional>

using namespace Qt::StringLiterals;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"vantu"_s);
    QApplication::setApplicationDisplayName(u"Vantu"_s);
    QApplication::setApplicationVersion(QStringLiteral(VANTU_VERSION));
    // Closing the folder chooser or any other window never ends the app.
    QApplication::setQuitOnLastWindowClosed(false);

    // The only option is for the end-to-end test and the benchmark: a report of what is shown.
    QCommandLineParser parser;
    QCommandLineOption testReport(u"test-report"_s, QString(), u"file"_s);
    testReport.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(testReport);
    parser.process(app);

    vantu::platform::SettingsStore settings(vantu::platform::SettingsStore::standardPath());
    auto store = std::make_unique<vantu::PortStore>(std::make_unique<vantu::PortService>(), settings,
                                                    vantu::folderChooserDialog());
    vantu::AppDelegate delegate(std::move(store));
    std::optional<vantu::TestReport> report;
    if (parser.isSet(testReport)) {
        report.emplace(parser.value(testReport), delegate);
    }
    // Once the event loop runs, as a launch that has finished.
    QMetaObject::invokeMethod(&delegate, &vantu::AppDelegate::applicationDidFinishLaunching, Qt::QueuedConnection);
    return QApplication::exec();
}
