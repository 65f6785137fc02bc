#include "core/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace vantu::Translations {

void install(QCoreApplication& application, const QLocale& locale) {
    auto* own = new QTranslator(&application);
    // Built into the program by the build: lrelease turns translations/*.ts into these.
    if (own->load(locale, u"vantu"_s, u"_"_s, u":/i18n"_s) || own->load(u"vantu_en"_s, u":/i18n"_s)) {
        QCoreApplication::installTranslator(own);
    } else {
        delete own;
    }
    auto* qt = new QTranslator(&application);
    if (qt->load(locale, u"qtbase"_s, u"_"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
    }
}

}  // namespace vantu::Translations
