#include "shell/registry.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QUrl>

namespace bv::shell {

void ShellOpen(const QString& target) {
    if (target.isEmpty()) return;
    QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

QString BrowseForFolder(QWidget* owner, const QString& title) {
    const QString chosen = QFileDialog::getExistingDirectory(owner, title);
    if (chosen.isEmpty()) return QString();
    QString path = QDir::toNativeSeparators(chosen);
    // A root keeps its separator; any other folder comes back without one.
    while (path.size() > 1 && (path.endsWith(QLatin1Char('/')) || path.endsWith(QLatin1Char('\\'))) &&
           !(path.size() == 3 && path.at(1) == QLatin1Char(':')))
        path.chop(1);
    return path;
}

}  // namespace bv::shell
