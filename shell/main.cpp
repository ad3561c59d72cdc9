// Starts the window program: the one window frmStep1, shown centred.
#include <QApplication>
#include <QStringList>
#include <QTimer>

#include "shell/Translations.h"
#include "shell/frmStep1.h"
#include "version.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brimvault Converter"));
    QApplication::setApplicationVersion(QStringLiteral(BV_VERSION_STRING));
    QApplication::setDesktopFileName(QStringLiteral("brimvault-converter"));
    bv::shell::InstallTranslations(app);

    // Hidden switch for the project's screenshot script: --screenshot FILE grabs the
    // window once it is shown and quits.
    QString screenshot;
    const QStringList args = QApplication::arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--screenshot"));
    if (at >= 0 && at + 1 < args.size()) screenshot = args.at(at + 1);

    bv::shell::frmStep1 window;
    QApplication::setWindowIcon(window.windowIcon());
    window.show();

    if (!screenshot.isEmpty()) {
        QTimer::singleShot(700, &window, [&window, screenshot] {
            const bool saved = window.grab().save(screenshot, "PNG");
            QCoreApplication::exit(saved ? 0 : 1);
        });
    }
    return app.exec();
}
