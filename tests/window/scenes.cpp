// window_scenes SCENE OUT.png: puts the window into one scene with real runs and the
// real message boxes, and saves a picture of the screen (scripts/screenshot.sh runs it
// under a virtual X server with a window manager).
//   idle         the window as it starts
//   midrun       a run into .pst stores half way, its progress bar moving
//   store-error  the box of a store that cannot be created
//   labels-done  the completion box after a run into 150 label folders; a second
//                picture OUT-details.png shows it with its details open
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "shell/NativePrompts.h"
#include "shell/Translations.h"
#include "shell/frmStep1.h"

namespace {

QString out;
QString scene;

bool SaveScreen(const QString& path) {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen && screen->grabWindow(0).save(path, "PNG");
}

// The real boxes, pictured once they are up; the dialogs answered from the scene.
class ScenePrompts : public bv::filelist::Prompts {
public:
    QStringList files;
    QString folder;

    QStringList chooseFiles(const QString&) override { return files; }
    QString chooseFolder(const QString&) override { return folder; }
    using Prompts::message;
    void message(const QString& text, const QString& title, bv::filelist::MessageIcon icon,
                 const QString& details) override {
        auto box = bv::shell::NativePrompts::ShowMessageBox(text, title, icon, details, owner);
        QTimer::singleShot(1200, box.get(), [&box] {
            bool saved = SaveScreen(out);
            if (scene == QLatin1String("labels-done")) {
                for (QAbstractButton* b : box->findChildren<QAbstractButton*>())
                    if (box->buttonRole(b) == QMessageBox::ActionRole) b->click();  // Show Details, in any language
                QCoreApplication::processEvents();
                QThread::msleep(600);
                QCoreApplication::processEvents();
                saved = saved && SaveScreen(QString(out).replace(QStringLiteral(".png"), QStringLiteral("-details.png")));
            }
            std::fprintf(stderr, "box %dx%d at %d,%d on a screen of %dx%d\n", box->frameGeometry().width(),
                         box->frameGeometry().height(), box->frameGeometry().x(), box->frameGeometry().y(),
                         box->screen()->size().width(), box->screen()->size().height());
            box->done(0);
            QCoreApplication::exit(saved ? 0 : 1);
        });
        box->exec();
    }
    bool ask(const QString&, const QString&) override { return true; }
    void openExternal(const QString&) override {}

    QWidget* owner = nullptr;
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write(bytes);
}

QByteArray Mailbox(int messages, const char* labels = nullptr) {
    QByteArray box;
    for (int i = 1; i <= messages; ++i) {
        box += "From sender@example.org Mon Jan  1 00:00:00 2024\n";
        box += "From: sender@example.org\nTo: anna@example.org\nSubject: message " + QByteArray::number(i) + "\n";
        if (labels) box += "X-Brimvault-Labels: " + QByteArray(labels) + " " + QByteArray::number(i) + ",Opened\n";
        box += "\nBody of message " + QByteArray::number(i) + ".\n\n";
    }
    return box;
}

void Click(bv::shell::frmStep1& w, const char* name) {
    if (auto* b = w.findChild<QAbstractButton*>(QString::fromLatin1(name))) b->click();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    bv::shell::InstallTranslations(app);  // the window in the language of LANG, as the program starts it
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_scenes idle|midrun|store-error|labels-done OUT.png\n");
        return 2;
    }
    scene = QString::fromLocal8Bit(argv[1]);
    out = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir dir;

    auto owned = std::make_unique<ScenePrompts>();
    ScenePrompts& prompts = *owned;
    bv::shell::frmStep1 window(std::move(owned));
    prompts.owner = &window;
    window.show();

    const QString destination = dir.path() + QStringLiteral("/out");
    QDir().mkpath(destination);
    std::function<void()> play;
    if (scene == QLatin1String("idle")) {
        play = [] { QCoreApplication::exit(SaveScreen(out) ? 0 : 1); };
    } else if (scene == QLatin1String("midrun")) {
        for (const char* name : {"Inbox", "Sent", "Archive 2024", "Archive 2025"}) {
            prompts.files << dir.path() + QStringLiteral("/export/%1.mbox").arg(QLatin1String(name));
            WriteFile(prompts.files.back(), Mailbox(60000));
        }
        play = [&] {
            Click(window, "cmdAdd");
            Click(window, "OptPST");
            prompts.folder = destination;
            auto* bar = window.findChild<QProgressBar*>(QStringLiteral("prgRun"));
            QObject::connect(bar, &QProgressBar::valueChanged, &window, [&, bar](int value) {
                static bool taken = false;
                if (taken || value < bar->maximum() / 2 || value == bar->maximum()) return;
                taken = true;
                QTimer::singleShot(150, &window, [&] {
                    const bool saved = SaveScreen(out);
                    window.close();  // asks, is answered Yes, and stops the run
                    if (!saved) QCoreApplication::exit(1);
                });
            });
            Click(window, "CmdConvert");
        };
    } else if (scene == QLatin1String("store-error")) {
        prompts.files << dir.path() + QStringLiteral("/export/Inbox.mbox");
        WriteFile(prompts.files.back(), Mailbox(3));
        const QString readOnly = dir.path() + QStringLiteral("/read-only");
        QDir().mkpath(readOnly);
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        // As root a folder without write permission is still writable: a file in the
        // place of the destination folder fails the same way for every user.
        const QString notAFolder = dir.path() + QStringLiteral("/Backups");
        WriteFile(notAFolder, "not a folder");
        prompts.folder = QFileInfo(readOnly).isWritable() ? notAFolder : readOnly;
        play = [&] {
            Click(window, "cmdAdd");
            Click(window, "OptPST");
            Click(window, "CmdConvert");
        };
    } else if (scene == QLatin1String("labels-done")) {
        prompts.files << dir.path() + QStringLiteral("/export/All mail.mbox");
        WriteFile(prompts.files.back(), Mailbox(150, "Projects/Project"));
        play = [&] {
            Click(window, "cmdAdd");
            Click(window, "OptEML");
            Click(window, "ChkByLabel");
            prompts.folder = destination;
            Click(window, "CmdConvert");
        };
    } else {
        std::fprintf(stderr, "window_scenes: no scene %s\n", argv[1]);
        return 2;
    }
    QTimer::singleShot(800, &window, play);
    QTimer::singleShot(120000, &app, [] { QCoreApplication::exit(3); });
    return app.exec();
}
