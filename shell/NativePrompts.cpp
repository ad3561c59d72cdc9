#include "shell/NativePrompts.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

#include "shell/registry.h"

namespace bv::shell {

namespace {

// Message texts use CR LF between lines; the box wants plain line feeds.
QString ForDisplay(QString text) { return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

QMessageBox::Icon BoxIcon(filelist::MessageIcon icon) {
    switch (icon) {
        case filelist::MessageIcon::Information: return QMessageBox::Information;
        case filelist::MessageIcon::Exclamation:
        case filelist::MessageIcon::Warning: return QMessageBox::Warning;
        case filelist::MessageIcon::Question: return QMessageBox::Question;
        case filelist::MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QStringList NativePrompts::chooseFiles(const QString& filters) {
    QStringList chosen = QFileDialog::getOpenFileNames(owner_, QString(), QString(), filters);
    for (QString& path : chosen) path = QDir::toNativeSeparators(path);
    return chosen;
}

QString NativePrompts::chooseFolder(const QString& title) { return BrowseForFolder(owner_, title); }

void NativePrompts::message(const QString& text, const QString& title, filelist::MessageIcon icon) {
    QMessageBox box(BoxIcon(icon), title, ForDisplay(text), QMessageBox::Ok, owner_);
    box.exec();
}

bool NativePrompts::ask(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, ForDisplay(text), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void NativePrompts::openExternal(const QString& target) { ShellOpen(target); }

}  // namespace bv::shell
