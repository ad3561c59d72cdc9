#include "shell/NativePrompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QTextEdit>
#include <algorithm>

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
        case filelist::MessageIcon::Error: return QMessageBox::Critical;
        case filelist::MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

// Room the box needs beyond its own size: the window frame, and the details area
// when the user opens it (a text field of fixed height).
int FrameRoom(const QMessageBox& box) {
    return 2 * box.style()->pixelMetric(QStyle::PM_TitleBarHeight) + 16;
}
constexpr int kDetailsRoom = 140;

bool Fits(const QMessageBox& box, const QRect& screen) {
    const int room = FrameRoom(box) + (box.detailedText().isEmpty() ? 0 : kDetailsRoom);
    return box.height() + room <= screen.height() && box.width() <= screen.width();
}

// Cuts the box's text to the lines that fit; the whole text then leads the details.
void FitToScreen(QMessageBox& box, const QString& text, const QString& details, const QRect& screen) {
    if (Fits(box, screen)) return;
    const QStringList lines = text.split(QLatin1Char('\n'));
    box.setDetailedText(details.isEmpty() ? text : text + QStringLiteral("\n\n") + details);
    const QString more = QStringLiteral("\n") + QCoreApplication::translate("Prompts", "... (the rest is in the details)");
    qsizetype lo = 1, hi = lines.size() - 1, best = 1;
    while (lo <= hi) {
        const qsizetype mid = (lo + hi) / 2;
        box.setText(lines.mid(0, mid).join(QLatin1Char('\n')) + more);
        if (Fits(box, screen)) {
            best = mid;
            lo = mid + 1;
        } else {
            hi = mid - 1;
        }
    }
    box.setText(lines.mid(0, best).join(QLatin1Char('\n')) + more);
}

}  // namespace

std::unique_ptr<QMessageBox> NativePrompts::ShowMessageBox(const QString& text, const QString& title,
                                                           filelist::MessageIcon icon, const QString& details,
                                                           QWidget* owner) {
    const QString shown = ForDisplay(text);
    const QString more = ForDisplay(details);
    auto box = std::make_unique<QMessageBox>(BoxIcon(icon), title, shown, QMessageBox::Ok, owner);
    box->setTextFormat(Qt::PlainText);
    if (!more.isEmpty()) box->setDetailedText(more);
    box->setAttribute(Qt::WA_ShowModal, true);
    box->show();  // the box takes its size when shown
    QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    FitToScreen(*box, shown, more, area);
    // Lists in the details line up in columns.
    for (QTextEdit* details : box->findChildren<QTextEdit*>())
        details->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    // Over the owner's middle, inside the screen, the details area counted open.
    QPoint at = owner ? owner->geometry().center() - box->rect().center() : area.center() - box->rect().center();
    const int bottomRoom = (box->detailedText().isEmpty() ? 0 : kDetailsRoom) + FrameRoom(*box);
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - box->width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - box->height() - bottomRoom)));
    box->move(at);
    return box;
}

QStringList NativePrompts::chooseFiles(const QString& filters) {
    QStringList chosen = QFileDialog::getOpenFileNames(owner_, QString(), QString(), filters);
    for (QString& path : chosen) path = QDir::toNativeSeparators(path);
    return chosen;
}

QString NativePrompts::chooseFolder(const QString& title) { return BrowseForFolder(owner_, title); }

void NativePrompts::message(const QString& text, const QString& title, filelist::MessageIcon icon,
                            const QString& details) {
    ShowMessageBox(text, title, icon, details, owner_)->exec();
}

bool NativePrompts::ask(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, ForDisplay(text), QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void NativePrompts::openExternal(const QString& target) { ShellOpen(target); }

}  // namespace bv::shell
