#include "shell/Translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace bv::shell {

QStringList WindowLanguages() {
    return {QStringLiteral("de"), QStringLiteral("fr"), QStringLiteral("es"),    QStringLiteral("it"),
            QStringLiteral("pt_BR"), QStringLiteral("nl"), QStringLiteral("pl"), QStringLiteral("cs"),
            QStringLiteral("ru"), QStringLiteral("ja"), QStringLiteral("zh_CN"), QStringLiteral("ko")};
}

QString InstallTranslations(QCoreApplication& app, const QLocale& locale) {
    // The program's own, built in (":/i18n/brimvault_de.qm"); the locale's UI languages
    // are tried in order, each also without its country ("de_AT" -> "de").
    auto* own = new QTranslator(&app);
    if (!own->load(locale, QStringLiteral("brimvault"), QStringLiteral("_"), QStringLiteral(":/i18n"))) {
        delete own;
        return QString();
    }
    QCoreApplication::installTranslator(own);
    // Qt's texts (Yes, No, Show Details...): beside the program on Windows, else where
    // Qt keeps them.
    const QStringList places = {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)};
    for (const QString& place : places) {
        auto* qt = new QTranslator(&app);
        if (qt->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), place)) {
            QCoreApplication::installTranslator(qt);
            break;
        }
        delete qt;
    }
    return own->language();
}

}  // namespace bv::shell
