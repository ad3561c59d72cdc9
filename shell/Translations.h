// The window in the person's language: the translations built into the program for
// the system's locale (English otherwise), and Qt's own for the standard buttons and
// dialogs. The command line stays English.
#pragma once
#include <QLocale>
#include <QStringList>

class QCoreApplication;

namespace bv::shell {

// The languages the window is translated into, as locale names ("de", "pt_BR").
QStringList WindowLanguages();

// Installs the translations for `locale` on the application; returns the language
// taken ("" for English, also when the locale asks for one there is no translation of).
QString InstallTranslations(QCoreApplication& app, const QLocale& locale = QLocale::system());

}  // namespace bv::shell
