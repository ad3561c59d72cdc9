// Drives the real main window: clicks, keys, labels, the file list and real runs.
// Dialogs and message boxes are answered by ScriptedPrompts.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <memory>

#include "filelist/FileAdders.h"
#include "filelist/FileListGrid.h"
#include "filelist/PathLogger.h"
#include "ScriptedPrompts.h"
#include "shell/frmStep1.h"

using bv::filelist::MessageIcon;
using bv::shell::frmStep1;

namespace {

const QString kTitle = QStringLiteral("Brimvault Converter");

struct Window {
    ScriptedPrompts* prompts;
    std::unique_ptr<frmStep1> w;

    Window() {
        auto p = std::make_unique<ScriptedPrompts>();
        prompts = p.get();
        w = std::make_unique<frmStep1>(std::move(p));
        w->show();
    }
    template <typename T>
    T* get(const char* name) const {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        if (!found) qFatal("no control %s", name);
        return found;
    }
    QPushButton* button(const char* name) const { return get<QPushButton>(name); }
    QRadioButton* option(const char* name) const { return get<QRadioButton>(name); }
    QCheckBox* check() const { return get<QCheckBox>("ChkAllinOnePST"); }
    QString label(const char* name) const { return get<QLabel>(name)->text(); }
    QTableWidget* grid() const { return get<QTableWidget>("grdFiles1"); }
    QStringList rows() const {
        QStringList out;
        for (int r = 0; r < grid()->rowCount(); ++r) {
            QTableWidgetItem* item = grid()->item(r, 0);
            out << (item ? item->text() : QString());
        }
        return out;
    }
    void click(QAbstractButton* b) const { QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2)); }
    void click(const char* name) const { click(get<QAbstractButton>(name)); }
    QRect place(int left, int top, int width, int height) const {
        return QRect(w->Twips(left), w->Twips(top), w->Twips(width), w->Twips(height));
    }
};

void WriteFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Mailbox(int messages) {
    QByteArray box;
    for (int i = 1; i <= messages; ++i) {
        box += "From sender@example.org Mon Jan  1 00:00:00 2024\n";
        box += "From: sender@example.org\nTo: anna@example.org\nSubject: message " + QByteArray::number(i) + "\n\n";
        box += "Body of message " + QByteArray::number(i) + ".\n\n";
    }
    return box;
}

// The mailbox's output folder under the destination: the input path without its root.
QString OutputFolder(const QString& destination, const QString& input) {
    QString rest = input;
    while (rest.startsWith(QLatin1Char('/'))) rest.remove(0, 1);
    return destination + QLatin1Char('/') + rest;
}

// A window with one mailbox of `messages` messages listed and .emlx chosen; the
// destination is answered when Convert asks for it.
struct EmlxRun {
    QTemporaryDir dir;
    QString input = dir.path() + "/box.mbox";
    QString destination = dir.path() + "/out";
    Window t;
    explicit EmlxRun(int messages) {
        QDir().mkpath(destination);
        WriteFile(input, Mailbox(messages));
        t.prompts->files.push_back({input});
        t.click("cmdAdd");
        t.click("OptEMLX");
        t.prompts->folders.push_back(destination);
    }
};

// Runs `action` once, as soon as the run has shown `count` messages saved: `watcher`
// starts when the destination is chosen and looks whenever the window handles events.
void OnceSaved(Window& t, QTimer& watcher, int count, std::function<void()> action) {
    QObject::connect(&watcher, &QTimer::timeout, t.w.get(), [&t, &watcher, count, action] {
        const QString progress = t.label("LblProgress");
        if (progress.startsWith(QStringLiteral("Saved ")) && progress.section(QLatin1Char(' '), 1, 1).toInt() >= count) {
            watcher.stop();
            action();
        }
    });
    t.prompts->whileChoosingFolder = [&watcher] { watcher.start(0); };
}

// A folder source that loses one folder just before listing it.
class VanishingFolderSource : public bv::filelist::FolderSource {
public:
    explicit VanishingFolderSource(std::string victim) : victim_(std::move(victim)) {}
    bool FolderExists(const std::string& path) override { return local_->FolderExists(path); }
    Listing List(const std::string& path) override {
        if (path == victim_) std::filesystem::remove_all(path);
        return local_->List(path);
    }

private:
    std::string victim_;
    std::shared_ptr<bv::filelist::FolderSource> local_ = bv::filelist::MakeLocalFolderSource();
};

}  // namespace

class WindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsWithEveryControlInPlace();
    void tabOrderAndAccessKeys();
    void optionsDriveTheCheckBoxButNeverItsTick();
    void addingChosenFiles();
    void clearingTheList();
    void addingAFolder();
    void unreadableFolderKeepsWhatWasFound();
    void exitAsksFirst();
    void convertRunsEndToEnd();
    void sortByLabelsCheckBox();
    void closingMidRunStopsAfterTheMessageInHand();
    void changingTheOutputKindMidRunChangesNothing();
};

void WindowTest::startsWithEveryControlInPlace() {
    Window t;
    QCOMPARE(t.w->windowTitle(), QStringLiteral("Brimvault Converter v2.0"));
    QCOMPARE(t.w->size(), QSize(t.w->Twips(8985), t.w->Twips(8055)));
    QVERIFY(!t.w->windowIcon().isNull());

    struct Expect {
        const char* name;
        QString caption;
        int left, top, width, height;
    };
    const Expect controls[] = {
        {"lblTitle", "Brimvault Converter", 360, 120, 7695, 375},
        {"lblNotice", bv::shell::kHeaderNotice, 360, 480, 6135, 255},
        {"cmdAdd", "Select Brimvault file(s)...", 240, 960, 2535, 375},
        {"CmdAddFolder", "Select folder having brimvault file(s)...", 3000, 960, 3375, 375},
        {"cmdClear1", "Clear file(s)...", 7440, 960, 1335, 375},
        {"lblCount1", "0 files", 270, 1440, 8535, 255},
        {"grdFiles1", "", 240, 1680, 8535, 1575},
        {"Frame1", " I want to convert brimvault messages to...", 240, 3360, 8535, 1695},
        {"OptEML", "(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)", 0, 0,
         8055, 255},
        {"OptEMLX", "(.emlx) files        -     (Supported by Mac OS X Tiger Mail)", 0, 360, 8295, 255},
        {"OptPST", "(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)", 0, 720, 8055, 255},
        {"OptMSG", "(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)",
         0, 1080, 8055, 255},
        {"ChkAllinOnePST", "Create Single Outlook PST file for All files", 240, 5160, 8535, 255},
        {"Label4", "Converting Messages...", 240, 5475, 1815, 255},
        {"LblProgessCurrent", "Mailbox  0 (of 0)", 600, 5760, 8175, 255},
        {"Label1", "Reading          :", 600, 6000, 1335, 255},
        {"LblIMMFile", "", 1920, 6000, 6855, 255},
        {"Image3", "", 600, 6255, 240, 240},
        {"LblProgress", "Saving :", 960, 6255, 7815, 255},
        {"CmdConvert", "Convert", 3120, 6720, 2775, 555},
        {"Picture3", "", 240, 7560, 8655, 495},
        {"CmdHelp", "&Help Manual", 0, 0, 1695, 375},
        {"cmdEnd", "E&xit", 7200, 0, 1335, 375},
    };
    for (const Expect& e : controls) {
        QWidget* c = t.get<QWidget>(e.name);
        QCOMPARE(c->geometry(), t.place(e.left, e.top, e.width, e.height));
        QString caption;
        if (auto* b = qobject_cast<QAbstractButton*>(c)) caption = b->text();
        else if (auto* l = qobject_cast<QLabel*>(c)) caption = l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(c)) caption = g->title();
        QCOMPARE(caption, e.caption);
    }
    // The options sit in their panel inside the frame; the footer buttons in theirs.
    QCOMPARE(t.option("OptEML")->parentWidget()->objectName(), QStringLiteral("Picture1"));
    QCOMPARE(t.option("OptEML")->parentWidget()->parentWidget(), t.get<QWidget>("Frame1"));
    QCOMPARE(t.button("cmdEnd")->parentWidget()->objectName(), QStringLiteral("Picture3"));

    // Looks and initial states.
    QVERIFY(t.get<QLabel>("lblTitle")->font().bold());
    QCOMPARE(t.get<QLabel>("lblTitle")->font().pointSizeF(), 14.25);
    QCOMPARE(t.button("CmdConvert")->font().pointSizeF(), 14.25);
    QVERIFY(!t.button("CmdConvert")->font().bold());
    QCOMPARE(t.button("cmdAdd")->font().pointSizeF(), 8.25);
    QVERIFY(t.get<QLabel>("Label1")->font().bold());
    QCOMPARE(t.get<QLabel>("Label1")->palette().color(QPalette::WindowText), QColor(0, 64, 64));
    QVERIFY(!t.get<QLabel>("Image3")->pixmap().isNull());
    QVERIFY(!t.button("CmdConvert")->isEnabled());
    for (const char* opt : {"OptEML", "OptEMLX", "OptPST", "OptMSG"}) QVERIFY(!t.option(opt)->isChecked());
    QVERIFY(t.check()->isChecked());
    QVERIFY(!t.check()->isEnabled());
    QCOMPARE(t.check()->toolTip(),
             QStringLiteral("Selecting this option will allow you to create a single PST file for all MBOX files"));
    QCOMPARE(t.rows(), QStringList{QString()});
    QCOMPARE(t.w->fileList().ColWidth(0), 15000);
    QVERIFY(t.grid()->columnWidth(0) > t.grid()->width());
    QCOMPARE(t.grid()->item(0, 0)->background().color(), QColor(255, 255, 191));

    // Help opens the project's page through the shell.
    t.click("CmdHelp");
    QCOMPARE(t.prompts->opened, std::vector<QString>{bv::shell::kHelpPageAddress});
    QCOMPARE(t.prompts->unexpected, 0);
}

void WindowTest::tabOrderAndAccessKeys() {
    Window t;
    const char* order[] = {"cmdAdd",  "cmdClear1", "CmdAddFolder", "grdFiles1", "CmdConvert", "cmdEnd",
                           "CmdHelp", "OptMSG",    "OptPST",       "OptEML",    "OptEMLX",    "ChkAllinOnePST"};
    QWidget* w = t.get<QWidget>(order[0]);
    for (size_t i = 1; i < std::size(order); ++i) {
        w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus) w = w->nextInFocusChain();
        QCOMPARE(w->objectName(), QString::fromLatin1(order[i]));
    }

    QApplication::setActiveWindow(t.w.get());
    QVERIFY(QTest::qWaitForWindowActive(t.w.get()));
    QTest::keyClick(t.w->windowHandle(), Qt::Key_H, Qt::AltModifier);
    // A mnemonic presses its button as an animated click.
    QTRY_COMPARE(t.prompts->opened.size(), size_t{1});
    t.prompts->answers.push_back(false);
    QTest::keyClick(t.w->windowHandle(), Qt::Key_X, Qt::AltModifier);
    QTRY_COMPARE(t.prompts->questions.size(), size_t{1});
    QCOMPARE(t.prompts->questions[0], kTitle + QStringLiteral("|Are you sure you want to exit now?"));
    QVERIFY(t.w->isVisible());
}

void WindowTest::optionsDriveTheCheckBoxButNeverItsTick() {
    Window t;
    t.click("OptPST");
    QVERIFY(t.option("OptPST")->isChecked());
    QVERIFY(t.check()->isEnabled());
    QVERIFY(t.check()->isChecked());
    t.click(t.check());
    QVERIFY(!t.check()->isChecked());

    for (const char* other : {"OptEML", "OptEMLX", "OptMSG"}) {
        t.click(other);
        QVERIFY(t.option(other)->isChecked());
        QVERIFY(!t.option("OptPST")->isChecked());
        QVERIFY2(!t.check()->isEnabled(), other);
        QVERIFY(!t.check()->isChecked());
        t.click("OptPST");
        QVERIFY(t.check()->isEnabled());
        QVERIFY(!t.check()->isChecked());
    }
    // Ticked again under .pst, the tick survives a trip to .eml greyed out.
    t.click(t.check());
    t.click("OptEML");
    QVERIFY(!t.check()->isEnabled());
    QVERIFY(t.check()->isChecked());

    // Convert without files still checks the options: with none selected it says so.
    t.w->ClearOptions();
    for (const char* opt : {"OptEML", "OptEMLX", "OptPST", "OptMSG"}) QVERIFY(!t.option(opt)->isChecked());
    t.click("OptEMLX");  // an exclusive group again after clearing
    t.click("OptMSG");
    QVERIFY(!t.option("OptEMLX")->isChecked());
}

void WindowTest::addingChosenFiles() {
    Window t;
    // Cancel: nothing.
    t.prompts->files.push_back({});
    t.click("cmdAdd");
    QCOMPARE(t.prompts->filtersAsked.back(), QString::fromLatin1(bv::filelist::kOpenFilters));
    {
        // The first entry, the one in force, lets every file be chosen on this system,
        // also a mailbox without extension; the second only mailbox names, the third
        // contacts and calendars.
        const QStringList entries = QString::fromLatin1(bv::filelist::kOpenFilters).split(QStringLiteral(";;"));
        QCOMPARE(entries.size(), 3);
        auto patterns = [](const QString& entry) {
            return entry.section(QLatin1Char('('), 1).chopped(1).split(QLatin1Char(' '));
        };
        QVERIFY(entries[0].startsWith(QStringLiteral("Brimvault Files (")));
        QVERIFY(QDir::match(patterns(entries[0]), QStringLiteral("Inbox")));
        QVERIFY(QDir::match(patterns(entries[0]), QStringLiteral("notes.txt")));
        QCOMPARE(entries[1], QStringLiteral("MBOX Files (*.mbox *.mbx)"));
        QVERIFY(QDir::match(patterns(entries[2]), QStringLiteral("contacts.vcf")));
        QVERIFY(QDir::match(patterns(entries[2]), QStringLiteral("calendar.ics")));
    }
    QCOMPARE(t.rows(), QStringList{QString()});
    QCOMPARE(t.label("lblCount1"), QStringLiteral("0 files"));
    QVERIFY(!t.button("CmdConvert")->isEnabled());
    QVERIFY(t.prompts->messages.empty());

    // One file: row 0, current cell there, Convert on.
    t.prompts->files.push_back({QStringLiteral("/data/in box/anna.mbox")});
    t.click("cmdAdd");
    QCOMPARE(t.rows(), QStringList{QStringLiteral("/data/in box/anna.mbox")});
    QCOMPARE(t.label("lblCount1"), QStringLiteral("1 files"));
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.w->fileList().Row(), 0);

    // Several, in the dialog's order, unchanged, duplicates kept.
    const QStringList several{QStringLiteral("/b/x.mbx"), QStringLiteral("/b/no-extension"),
                              QStringLiteral("/data/in box/anna.mbox")};
    t.prompts->files.push_back(several);
    t.click("cmdAdd");
    QCOMPARE(t.rows(), QStringList{QStringLiteral("/data/in box/anna.mbox")} + several);
    QCOMPARE(t.label("lblCount1"), QStringLiteral("4 files"));
    QCOMPARE(t.w->fileList().Row(), 3);
    QCOMPARE(t.grid()->currentRow(), 3);

    // Over the limit: refused whole, with the message; the limit itself is accepted.
    QStringList tooMany;
    for (int i = 0; i <= bv::filelist::kMaxFilesAtOnce; ++i) tooMany << QStringLiteral("/m/%1.mbox").arg(i);
    t.w->SetConvertEnabled(false);
    t.prompts->files.push_back(tooMany);
    t.click("cmdAdd");
    QCOMPARE(t.grid()->rowCount(), 4);
    QVERIFY(!t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    QCOMPARE(t.prompts->messages[0].text, QStringLiteral("Please select only 10000 files at a time"));
    QCOMPARE(t.prompts->messages[0].title, kTitle);
    QCOMPARE(t.prompts->messages[0].icon, MessageIcon::Exclamation);

    tooMany.removeLast();
    t.prompts->files.push_back(tooMany);
    t.click("cmdAdd");
    QCOMPARE(t.grid()->rowCount(), 4 + bv::filelist::kMaxFilesAtOnce);
    QCOMPARE(t.label("lblCount1"), QStringLiteral("10004 files"));
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    QCOMPARE(t.prompts->unexpected, 0);
}

void WindowTest::clearingTheList() {
    Window t;
    // Empty list: no question.
    t.click("cmdClear1");
    QVERIFY(t.prompts->questions.empty());

    t.prompts->files.push_back({QStringLiteral("/a.mbox"), QStringLiteral("/b.mbox")});
    t.click("cmdAdd");
    QVERIFY(t.button("CmdConvert")->isEnabled());

    t.prompts->answers.push_back(false);
    t.click("cmdClear1");
    QCOMPARE(t.prompts->questions.back(),
             kTitle + QStringLiteral("|Do you want to clear all the files in the list\r\n Proceed?"));
    QCOMPARE(t.rows(), (QStringList{QStringLiteral("/a.mbox"), QStringLiteral("/b.mbox")}));
    QCOMPARE(t.label("lblCount1"), QStringLiteral("2 files"));
    QCOMPARE(t.w->fileList().Row(), 0);  // the question moved the current cell

    t.prompts->answers.push_back(true);
    t.click("cmdClear1");
    QCOMPARE(t.rows(), QStringList{QString()});
    QCOMPARE(t.label("lblCount1"), QStringLiteral("0 files"));
    QVERIFY(t.button("CmdConvert")->isEnabled());  // clearing leaves Convert alone

    t.prompts->files.push_back({QStringLiteral("/c.mbox")});
    t.click("cmdAdd");
    QCOMPARE(t.rows(), QStringList{QStringLiteral("/c.mbox")});
    QCOMPARE(t.label("lblCount1"), QStringLiteral("1 files"));
    QCOMPARE(t.w->fileList().ColWidth(0), 15000);
    QCOMPARE(t.prompts->unexpected, 0);
}

void WindowTest::addingAFolder() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    WriteFile(root + "/src/b.mbox", "x");
    WriteFile(root + "/src/a.txt", "x");
    WriteFile(root + "/src/sub/c.mbox", "x");
    QDir().mkpath(root + "/empty/inner");

    Window t;
    // Cancelled picker: nothing at all.
    t.prompts->folders.push_back(QString());
    t.click("CmdAddFolder");
    QCOMPARE(t.prompts->folderTitles.back(), QStringLiteral("Choose Source Folder..."));
    QVERIFY(t.prompts->messages.empty());
    QCOMPARE(t.rows(), QStringList{QString()});

    // Direct files first, then the sub-folder's; one separator whether or not the
    // picker gave one.
    t.prompts->folders.push_back(root + "/src");
    t.prompts->folders.push_back(root + "/src/");
    t.click("CmdAddFolder");
    t.click("CmdAddFolder");
    const QStringList once{root + "/src/a.txt", root + "/src/b.mbox", root + "/src/sub/c.mbox"};
    QCOMPARE(t.rows(), once + once);
    QCOMPARE(t.label("lblCount1"), QStringLiteral("6 files"));
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.prompts->messages.size(), size_t{2});
    QCOMPARE(t.prompts->messages[0].text, QStringLiteral("3 Files Added to List."));
    QCOMPARE(t.prompts->messages[0].title, kTitle);
    QCOMPARE(t.prompts->messages[0].icon, MessageIcon::None);
    QVERIFY(!t.prompts->messages[0].busyPointer);
    QCOMPARE(t.w->fileList().Row(), 5);

    // No file below the folder: Convert goes off although the list holds files.
    t.prompts->folders.push_back(root + "/empty");
    t.click("CmdAddFolder");
    QCOMPARE(t.prompts->messages.back().text, QStringLiteral("0 Files Added to List."));
    QVERIFY(!t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.grid()->rowCount(), 6);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(t.prompts->unexpected, 0);
}

void WindowTest::unreadableFolderKeepsWhatWasFound() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    WriteFile(root + "/top.mbox", "x");
    WriteFile(root + "/a/a1.mbox", "x");
    WriteFile(root + "/b/b1.mbox", "x");
    WriteFile(root + "/c/c1.mbox", "x");
    const std::string victim = (root + "/b/").toStdString();

    Window t;
    t.w->SetFolderSource([victim] { return std::make_shared<VanishingFolderSource>(victim); });
    t.prompts->folders.push_back(root);
    t.click("CmdAddFolder");
    QCOMPARE(t.rows(), (QStringList{root + "/top.mbox", root + "/a/a1.mbox"}));
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    const auto& shown = t.prompts->messages[0];
    QVERIFY2(shown.text.startsWith(QStringLiteral("2 Files Added to List.")), qPrintable(shown.text));
    QVERIFY2(shown.text.contains(QString::fromStdString(victim)), qPrintable(shown.text));
    QCOMPARE(shown.icon, MessageIcon::Exclamation);
    QVERIFY(!shown.busyPointer);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void WindowTest::exitAsksFirst() {
    Window t;
    t.prompts->answers.push_back(false);
    t.click("cmdEnd");
    QCOMPARE(t.prompts->questions.back(), kTitle + QStringLiteral("|Are you sure you want to exit now?"));
    QVERIFY(t.w->isVisible());
    QVERIFY(!t.w->closing());

    t.prompts->answers.push_back(true);
    t.click("cmdEnd");
    QCOMPARE(t.prompts->questions.size(), size_t{2});
    QVERIFY(!t.w->isVisible());
    QVERIFY(t.w->closing());
}

void WindowTest::convertRunsEndToEnd() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString input = dir.path() + "/in/anna.mbox";
    const QString destination = dir.path() + "/out";
    QDir().mkpath(destination);
    WriteFile(input, Mailbox(3));

    Window t;
    // No output kind yet: the run says so and changes nothing.
    t.prompts->files.push_back({input});
    t.click("cmdAdd");
    t.click("CmdConvert");
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    QVERIFY(t.prompts->folderTitles.empty());
    QVERIFY(t.button("CmdConvert")->isEnabled());

    t.click("OptEML");
    // A cancelled destination prompt: nothing happens, the choice stays.
    t.prompts->folders.push_back(QString());
    t.click("CmdConvert");
    QCOMPARE(t.prompts->folderTitles.size(), size_t{1});
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    QVERIFY(t.option("OptEML")->isChecked());
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QVERIFY(QDir(destination).isEmpty());

    t.prompts->folders.push_back(destination);
    bool convertOffDuringRun = false;
    t.prompts->whileShowing = [&](const ScriptedPrompts::Shown&) {
        convertOffDuringRun = !t.button("CmdConvert")->isEnabled();
    };
    t.click("CmdConvert");

    QCOMPARE(t.prompts->folderTitles.back(), QStringLiteral("Choose Folder to Save..."));
    const QString folder = OutputFolder(destination, input);
    const QStringList written = QDir(folder).entryList(QDir::Files, QDir::Name);
    QCOMPARE(written, (QStringList{"email-1.eml", "email-2.eml", "email-3.eml"}));
    for (int i = 1; i <= 3; ++i) {
        QFile f(folder + QStringLiteral("/email-%1.eml").arg(i));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("From sender@example.org"));
        QVERIFY(bytes.contains("Subject: message " + QByteArray::number(i)));
    }

    QCOMPARE(t.prompts->messages.size(), size_t{2});
    const auto& done = t.prompts->messages.back();
    QVERIFY2(done.text.contains(QStringLiteral("successfully exported")), qPrintable(done.text));
    QCOMPARE(done.title, kTitle);
    QVERIFY(convertOffDuringRun);
    QVERIFY(t.button("CmdConvert")->isEnabled());
    for (const char* opt : {"OptEML", "OptEMLX", "OptPST", "OptMSG"}) QVERIFY(!t.option(opt)->isChecked());
    QCOMPARE(t.label("LblProgessCurrent"), QStringLiteral("Mailbox 1 (of 1) "));
    QCOMPARE(t.label("LblIMMFile"), QStringLiteral("anna.mbox"));
    QCOMPARE(t.label("LblProgress"), QStringLiteral("Saved 3 Email Messages..."));
    // The list is read, not consumed.
    QCOMPARE(t.rows(), QStringList{input});
    QCOMPARE(t.prompts->unexpected, 0);
}

// The check box sits in free space inside the window, starts unticked, and a run
// started with it ticked sorts the messages into their label folders.
void WindowTest::sortByLabelsCheckBox() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString input = dir.path() + "/in/anna.mbox";
    const QString destination = dir.path() + "/out";
    QDir().mkpath(destination);
    QByteArray box;
    for (const char* labels : {"Inbox,Unread", "Trash,Inbox", "Work/Projects"}) {
        box += "From sender@example.org Mon Jan  1 00:00:00 2024\n"
               "From: sender@example.org\nSubject: labelled\nX-Brimvault-Labels: ";
        box += labels;
        box += "\n\nBody.\n\n";
    }
    WriteFile(input, box);

    Window t;
    auto* sort = t.get<QCheckBox>("ChkByLabel");
    QCOMPARE(sort->text(), QStringLiteral("Sort messages into folders by their labels"));
    QVERIFY(sort->isVisible());
    QVERIFY(sort->isEnabled());
    QVERIFY(!sort->isChecked());
    const QRect place = sort->geometry();
    QCOMPARE(sort->parentWidget(), t.w.get());
    QVERIFY(t.w->rect().contains(place));
    QVERIFY2(sort->sizeHint().width() <= place.width(), "the caption is cut off");
    for (QWidget* other : t.w->findChildren<QWidget*>()) {
        const QString name = other->objectName();
        if (other == sort || name.isEmpty() || name.startsWith(QStringLiteral("qt_")) || !other->isVisible()) continue;
        const QRect at(other->mapTo(t.w.get(), QPoint(0, 0)), other->size());
        QVERIFY2(!at.intersects(place), qPrintable(name));
    }
    // Near the single-store check box: the row below it.
    const QRect single = t.check()->geometry();
    QVERIFY(place.top() >= single.bottom() && place.top() - single.bottom() < single.height() * 2);

    t.prompts->files.push_back({input});
    t.click("cmdAdd");
    t.click("OptEML");
    t.click(sort);
    QVERIFY(sort->isChecked());
    t.prompts->folders.push_back(destination);
    t.click("CmdConvert");

    const QString folder = OutputFolder(destination, input);
    QVERIFY(QFile::exists(folder + "/Inbox/email-1.eml"));
    QVERIFY(QFile::exists(folder + "/Deleted Items/email-2.eml"));
    QVERIFY(QFile::exists(folder + "/Work/Projects/email-3.eml"));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    const QString done = t.prompts->messages.back().text;
    QVERIFY2(done.contains(QStringLiteral("successfully exported")), qPrintable(done));
    QVERIFY2(done.contains(QStringLiteral("Messages per folder:")), qPrintable(done));
    QVERIFY2(done.contains(QRegularExpression(QStringLiteral("Work/Projects +1"))), qPrintable(done));
    QCOMPARE(t.prompts->unexpected, 0);
}

void WindowTest::closingMidRunStopsAfterTheMessageInHand() {
    constexpr int kMessages = 20000;
    EmlxRun run(kMessages);
    Window& t = run.t;
    const QString& input = run.input;
    const QString& destination = run.destination;
    // The close box is pressed once the run has reported a few messages saved.
    QTimer watcher;
    OnceSaved(t, watcher, 10, [&] { t.w->close(); });
    // Inside the program's event loop, as when the user clicks: the close must end it.
    QTimer::singleShot(0, t.w.get(), [&] { t.click("CmdConvert"); });
    QTimer failsafe;
    failsafe.setSingleShot(true);
    QObject::connect(&failsafe, &QTimer::timeout, [] { QCoreApplication::exit(2); });
    failsafe.start(30000);
    QCOMPARE(QCoreApplication::exec(), 0);

    QVERIFY(t.w->closing());
    QVERIFY(!t.w->running());
    QVERIFY(!t.w->isVisible());
    const QString folder = OutputFolder(destination, input);
    const QStringList written = QDir(folder).entryList(QDir::Files);
    QVERIFY2(written.size() >= 10 && written.size() < kMessages, qPrintable(QString::number(written.size())));
    // Nothing is asked or told after the close; every file written is complete.
    QVERIFY(t.prompts->messages.empty());
    for (int i = 1; i <= written.size(); ++i) {
        QFile f(folder + QStringLiteral("/email-%1.emlx").arg(i));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        QVERIFY(f.readAll().contains("Body of message " + QByteArray::number(i) + "."));
    }
}

void WindowTest::changingTheOutputKindMidRunChangesNothing() {
    constexpr int kMessages = 3000;
    EmlxRun run(kMessages);
    Window& t = run.t;
    const QString& input = run.input;
    const QString& destination = run.destination;
    // Once a few messages are saved, the user picks .pst and then .msg.
    bool switched = false;
    QTimer watcher;
    OnceSaved(t, watcher, 10, [&] {
        t.option("OptPST")->setChecked(true);
        t.option("OptMSG")->setChecked(true);
        switched = true;
    });
    t.click("CmdConvert");

    QVERIFY(switched);
    // Every message became an .emlx file, as chosen when Convert was pressed.
    const QString folder = OutputFolder(destination, input);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), kMessages);
    QCOMPARE(QDir(folder).entryList({QStringLiteral("*.emlx")}, QDir::Files).size(), kMessages);
    QCOMPARE(QDir(destination).entryList(QDir::Files), QStringList{});  // no store
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    QVERIFY2(t.prompts->messages[0].text.contains(QStringLiteral("successfully exported.")),
             qPrintable(t.prompts->messages[0].text));
    QCOMPARE(t.prompts->unexpected, 0);
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
