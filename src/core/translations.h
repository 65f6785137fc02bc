#pragma once

#include <QLocale>

class QCoreApplication;

namespace vantu::Translations {

// Installs the program's own catalogue and Qt's for `locale` (the user's language by default).
// Where no catalogue of that language exists, English is used, which is also where the plural
// forms of the English texts come from. Names, folders, commands and ports are never
// translated: they are data.
void install(QCoreApplication& application, const QLocale& locale = QLocale());

}  // namespace vantu::Translations
