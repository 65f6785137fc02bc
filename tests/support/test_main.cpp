// Entry point of every test program: a Qt application object (GUI or core, chosen at build
// time) and a private HOME and XDG_CONFIG_HOME, so no test reads or writes the user's files.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#ifdef VANTU_TEST_GUI
#include "core/translations.h"

#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <cstdlib>

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!home.isValid()) {
        return 2;
    }
    ::setenv("HOME", home.path().toLocal8Bit().constData(), 1);
    ::setenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit().constData(), 1);
#ifdef VANTU_TEST_GUI
    // Widget tests run headless, also when the test list is collected at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
#endif
    TestApplication app(argc, argv);
#ifdef VANTU_TEST_GUI
    // The English catalogue holds the plural forms ("1 dev port") the views are checked for.
    vantu::Translations::install(app, QLocale(QLocale::English));
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
