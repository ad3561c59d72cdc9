// Drives the real main window: clicks, keys, labels, the file list and real runs.
// Dialogs and message boxes are answered by ScriptedPrompts.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QTextBrowser>
#include <QSignalSpy>
#include <QElapsedTimer>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#ifdef _WIN32
#include <windows.h>
#endif

#include "filelist/FileAdders.h"
#include "filelist/FileListGrid.h"
#include "filelist/PathLogger.h"
#include "ScriptedPrompts.h"
#include "shell/CaptionFit.h"
#include "shell/NativePrompts.h"
#include "shell/RunTexts.h"
#include "shell/Translations.h"
#include "shell/frmStep1.h"

using bv::filelist::MessageIcon;
using bv::shell::frmStep1;

namespace {

const QString kTitle = QStringLiteral("Brimvault Converter");

// What the window keeps for its next start, in a folder of the test's own.
QSettings KeptSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Brimvault"),
                     QStringLiteral("Brimvault Converter"));
}

struct Window {
    ScriptedPrompts* prompts;
    std::unique_ptr<frmStep1> w;

    // `restart`: a window started again after one that ran before, with what it kept;
    // otherwise the first start ever.
    explicit Window(bool restart = false) {
        if (!restart) KeptSettings().clear();
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

// A path as the system's pickers give it ("\" separators on Windows).
QString Native(const QString& path) { return QDir::toNativeSeparators(path); }

// The mailbox's output folder under the destination: the input path without its root
// (on Windows also without its drive).
QString OutputFolder(const QString& destination, const QString& input) {
    QString rest = QDir::fromNativeSeparators(input);
    if (rest.size() >= 2 && rest[0].isLetter() && rest[1] == QLatin1Char(':')) rest.remove(0, 2);
    while (rest.startsWith(QLatin1Char('/'))) rest.remove(0, 1);
    return destination + QLatin1Char('/') + rest;
}

// The number in "Saved n Email Messages...", 0 before the first.
int SavedCount(const Window& t) {
    const QString progress = t.label("LblProgress");
    return progress.startsWith(QStringLiteral("Saved ")) ? progress.section(QLatin1Char(' '), 1, 1).toInt() : 0;
}

// The system's words for a path through a file where a folder should be.
QString NotAFolderCause() {
#ifdef _WIN32
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, ERROR_PATH_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                             reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = QString::fromWCharArray(buffer, int(n)).trimmed();
    if (buffer) LocalFree(buffer);
    while (text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text;
#else
    return QString::fromLocal8Bit(strerror(ENOTDIR));
#endif
}

// The window of the manual, once Help has shown it.
QTextBrowser* HelpWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmHelp")) return qobject_cast<QTextBrowser*>(w);
    return nullptr;
}

int FileCount(const QString& folder) { return int(QDir(folder).entryList(QDir::Files).size()); }

// Presses Convert and waits for the run to end (its box, if any, answered).
bool RunToEnd(Window& t, int timeoutMs = 60000) {
    QSignalSpy finished(t.w.get(), &frmStep1::runFinished);
    t.click("CmdConvert");
    return finished.wait(timeoutMs);
}

// The controls a run disables, and those it leaves alone.
const char* const kOffDuringRun[] = {"cmdAdd",  "CmdAddFolder", "cmdClear1", "grdFiles1",      "OptEML",
                                     "OptEMLX", "OptPST",       "OptMSG",    "ChkAllinOnePST", "ChkByLabel",
                                     "CmdConvert"};
const char* const kOnDuringRun[] = {"cmdEnd", "CmdHelp"};

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
    void initTestCase();
    void startsWithEveryControlInPlace();
    void keyboard();
    void optionsDriveTheCheckBoxButNeverItsTick();
    void addingChosenFiles();
    void clearingTheList();
    void deleteRemovesTheSelectedRows();
    void addingAFolder();
    void folderSearchCountsAndEscStopsIt();
    void unreadableFolderKeepsWhatWasFound();
    void exitAsksFirst();
    void convertRunsEndToEnd();
    void progressBarFollowsTheBytesRead();
    void sortByLabelsCheckBox();
    void longListsGoIntoTheDetails();
    void labelMapChosenAndUsed();
    void everyLanguageFitsItsPlaces();
    void captionsNarrowedToFitTheirPlaces();
    void completionBoxInEveryLanguage();
    void storeErrorLeadsWithItsCause();
    void aBoxOpenMidRunHoldsNothingUp();
    void exitMidRunLeavesValidStores();
    void rerunWithTheDefaultsAddsToTheFirstStore();
    void sameNamedMailboxesStayApart();
    void countsTellWhatBecameOfEachFile();
    void completionBoxSaysWhereTheOutputWent();
    void windowResizesAndFitsASmallScreen();

private:
    QTemporaryDir settings_;
};

void WindowTest::initTestCase() {
    QVERIFY(settings_.isValid());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings_.path());
}

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
        {"LblProgessCurrent", "Mailbox  0 (of 0)", 600, 5760, 2295, 255},
        {"prgRun", "", 2955, 5760, 5820, 255},
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
    QCOMPARE(t.get<QProgressBar>("prgRun")->value(), 0);
    for (const char* opt : {"OptEML", "OptEMLX", "OptPST", "OptMSG"}) QVERIFY(!t.option(opt)->isChecked());
    // Greyed out and without a tick while it does not count.
    QVERIFY(!t.check()->isChecked());
    QVERIFY(!t.check()->isEnabled());
    QCOMPARE(t.check()->toolTip(),
             QStringLiteral("Selecting this option will allow you to create a single PST file for all MBOX files"));
    QCOMPARE(t.rows(), QStringList{QString()});
    QCOMPARE(t.grid()->columnCount(), 3);
    QCOMPARE(t.grid()->horizontalHeaderItem(1)->text(), QStringLiteral("Size"));
    QCOMPARE(t.grid()->item(0, 0)->background().color(), QColor(255, 255, 191));

    // Help shows the manual that comes with the program: no browser, no network.
    t.click("CmdHelp");
    auto* help = HelpWindow();
    QVERIFY(help && help->isVisible() && help->isWindow());
    QVERIFY2(help->toPlainText().contains(QStringLiteral("Running again")), qPrintable(help->toPlainText()));
    QVERIFY(t.prompts->opened.empty());
    QCOMPARE(t.prompts->unexpected, 0);
}

void WindowTest::keyboard() {
    Window t;
    QApplication::setActiveWindow(t.w.get());
    QVERIFY(QTest::qWaitForWindowActive(t.w.get()));

    // The focus is on the first control and shown from the start: the focused button
    // looks different from the same button without focus.
    QPushButton* first = t.button("cmdAdd");
    QCOMPARE(QApplication::focusWidget(), first);
    const QImage focused = first->grab().toImage();
    t.button("CmdHelp")->setFocus();
    const QImage unfocused = first->grab().toImage();
    QVERIFY(focused != unfocused);

    // Tab goes through the controls as laid out: top to bottom, left to right. The
    // options are one stop, at the selected one (the arrow keys move among them).
    t.prompts->files.push_back({QStringLiteral("/a.mbox")});
    t.click("cmdAdd");
    t.click("OptPST");  // the check box counts, so it takes the focus too
    first->setFocus();
    const QStringList order{"cmdAdd",         "CmdAddFolder", "cmdClear1",   "grdFiles1",  "OptPST",
                            "ChkAllinOnePST", "ChkByLabel",   "CmdLabelMap", "CmdConvert", "CmdHelp", "cmdEnd"};
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 1; i < order.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, order);

    // Enter (either key) presses the focused button.
    t.button("CmdAddFolder")->setFocus();
    t.prompts->folders.push_back(QString());
    QTest::keyClick(t.button("CmdAddFolder"), Qt::Key_Enter);
    QCOMPARE(t.prompts->folderTitles.size(), size_t{1});

    // Access keys: Alt+H presses Help (a mnemonic presses its button as an animated
    // click), again once its window is closed; Alt+X Exit.
    for (int shown = 1; shown <= 2; ++shown) {
        QTest::keyClick(t.w->windowHandle(), Qt::Key_H, Qt::AltModifier);
        QTest::qWait(300);
        QTRY_VERIFY(HelpWindow() && HelpWindow()->isVisible());
        HelpWindow()->close();
        QApplication::setActiveWindow(t.w.get());
        QVERIFY(QTest::qWaitForWindowActive(t.w.get()));
    }
    t.prompts->answers.push_back(false);
    QTest::keyClick(t.w->windowHandle(), Qt::Key_X, Qt::AltModifier);
    QTRY_COMPARE(t.prompts->questions.size(), size_t{1});
    QCOMPARE(t.prompts->questions[0], kTitle + QStringLiteral("|Are you sure you want to exit now?"));
    QVERIFY(t.w->isVisible());
    QCOMPARE(t.prompts->unexpected, 0);
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
    // Ticked again under .pst, the tick survives a trip to .eml greyed out (shown
    // without a tick there), and a start of the program.
    t.click(t.check());
    t.click("OptEML");
    QVERIFY(!t.check()->isEnabled());
    QVERIFY(!t.check()->isChecked());
    t.click("OptPST");
    QVERIFY(t.check()->isChecked());
    t.click(t.check());
    {
        Window again(true);
        again.click("OptPST");
        QVERIFY(again.check()->isEnabled());
        QVERIFY(!again.check()->isChecked());
    }

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
        // contacts and calendars, the fourth the archives an export comes in.
        const QStringList entries = QString::fromLatin1(bv::filelist::kOpenFilters).split(QStringLiteral(";;"));
        QCOMPARE(entries.size(), 4);
        auto patterns = [](const QString& entry) {
            return entry.section(QLatin1Char('('), 1).chopped(1).split(QLatin1Char(' '));
        };
        QVERIFY(entries[0].startsWith(QStringLiteral("Brimvault Files (")));
#ifdef _WIN32
        // The Windows file dialog reads "*.*" as every file, extension or not.
        QCOMPARE(patterns(entries[0]), QStringList{QStringLiteral("*.*")});
#else
        QVERIFY(QDir::match(patterns(entries[0]), QStringLiteral("Inbox")));
        QVERIFY(QDir::match(patterns(entries[0]), QStringLiteral("notes.txt")));
#endif
        QCOMPARE(entries[1], QStringLiteral("MBOX Files (*.mbox *.mbx)"));
        QVERIFY(QDir::match(patterns(entries[2]), QStringLiteral("contacts.vcf")));
        QVERIFY(QDir::match(patterns(entries[2]), QStringLiteral("calendar.ics")));
        QVERIFY(entries[3].startsWith(QStringLiteral("Archives (")));
        for (const char* name : {"export-1.zip", "export.tgz", "export.tar.gz", "x.tar", "x.tar.bz2", "x.tar.xz",
                                 "anna.mbox.gz"})
            QVERIFY2(QDir::match(patterns(entries[3]), QString::fromLatin1(name)), name);
        QVERIFY(!QDir::match(patterns(entries[3]), QStringLiteral("notes.txt")));
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

    // Several, in the dialog's order, unchanged; a path already listed (also written
    // another way) is listed once, and a message says how many were there.
    const QStringList several{QStringLiteral("/b/x.mbx"), QStringLiteral("/b/no-extension"),
                              QStringLiteral("/data/in box/./anna.mbox"), QStringLiteral("/b/x.mbx")};
    t.prompts->files.push_back(several);
    t.click("cmdAdd");
    QCOMPARE(t.rows(), (QStringList{QStringLiteral("/data/in box/anna.mbox"), QStringLiteral("/b/x.mbx"),
                                    QStringLiteral("/b/no-extension")}));
    QCOMPARE(t.label("lblCount1"), QStringLiteral("3 files"));
    QCOMPARE(t.w->fileList().Row(), 2);
    QCOMPARE(t.grid()->currentRow(), 2);
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    QCOMPARE(t.prompts->messages[0].text, QStringLiteral("2 Files Added to List.\nAlready in the list: 2."));
    QCOMPARE(t.prompts->messages[0].title, kTitle);
    // Nothing new at all: the list stays, the message says so.
    t.prompts->files.push_back({QStringLiteral("/b/x.mbx")});
    t.click("cmdAdd");
    QCOMPARE(t.grid()->rowCount(), 3);
    QCOMPARE(t.prompts->messages.back().text, QStringLiteral("0 Files Added to List.\nAlready in the list: 1."));
    t.prompts->messages.clear();

    // Over the limit: refused whole, with the message; the limit itself is accepted.
    QStringList tooMany;
    for (int i = 0; i <= bv::filelist::kMaxFilesAtOnce; ++i) tooMany << QStringLiteral("/m/%1.mbox").arg(i);
    t.prompts->files.push_back(tooMany);
    t.click("cmdAdd");
    QCOMPARE(t.grid()->rowCount(), 3);
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    QCOMPARE(t.prompts->messages[0].text, QStringLiteral("Please select only 10000 files at a time"));
    QCOMPARE(t.prompts->messages[0].title, kTitle);
    QCOMPARE(t.prompts->messages[0].icon, MessageIcon::Exclamation);

    tooMany.removeLast();
    t.prompts->files.push_back(tooMany);
    t.click("cmdAdd");
    QCOMPARE(t.grid()->rowCount(), 3 + bv::filelist::kMaxFilesAtOnce);
    QCOMPARE(t.label("lblCount1"), QStringLiteral("10003 files"));
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
    QVERIFY(!t.button("CmdConvert")->isEnabled());  // nothing left to convert

    t.prompts->files.push_back({QStringLiteral("/c.mbox")});
    t.click("cmdAdd");
    QCOMPARE(t.rows(), QStringList{QStringLiteral("/c.mbox")});
    QCOMPARE(t.label("lblCount1"), QStringLiteral("1 files"));
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.prompts->unexpected, 0);
}

void WindowTest::deleteRemovesTheSelectedRows() {
    Window t;
    QApplication::setActiveWindow(t.w.get());
    QVERIFY(QTest::qWaitForWindowActive(t.w.get()));
    const QStringList paths{"/a.mbox", "/b.mbox", "/c.mbox", "/d.mbox", "/e.mbox"};
    t.prompts->files.push_back(paths);
    t.click("cmdAdd");
    QVERIFY(t.grid()->selectionModel()->selectedRows().isEmpty());  // adding selects nothing

    // Rows 1 and 3 chosen with the pointer (the second with Ctrl), then Delete.
    auto rowPoint = [&](int row) { return t.grid()->visualRect(t.grid()->model()->index(row, 0)).center(); };
    QTest::mouseClick(t.grid()->viewport(), Qt::LeftButton, {}, rowPoint(1));
    QTest::mouseClick(t.grid()->viewport(), Qt::LeftButton, Qt::ControlModifier, rowPoint(3));
    QTest::keyClick(t.grid(), Qt::Key_Delete);
    QCOMPARE(t.rows(), (QStringList{"/a.mbox", "/c.mbox", "/e.mbox"}));
    QCOMPARE(t.label("lblCount1"), QStringLiteral("3 files"));
    QVERIFY(t.button("CmdConvert")->isEnabled());
    // Delete with nothing selected removes nothing.
    QTest::keyClick(t.grid(), Qt::Key_Delete);
    QCOMPARE(t.grid()->rowCount(), 3);

    // Every row: the empty list, Convert off; a removed path can be added again.
    t.grid()->setFocus();
    QTest::keyClick(t.grid(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(t.grid(), Qt::Key_Delete);
    QCOMPARE(t.rows(), QStringList{QString()});
    QCOMPARE(t.label("lblCount1"), QStringLiteral("0 files"));
    QVERIFY(!t.button("CmdConvert")->isEnabled());
    t.prompts->files.push_back({"/c.mbox"});
    t.click("cmdAdd");
    QCOMPARE(t.rows(), QStringList{"/c.mbox"});
    QVERIFY(t.prompts->messages.empty());
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
    // picker gave one. The second time every file is listed already.
    t.prompts->folders.push_back(Native(root + "/src"));
    t.prompts->folders.push_back(Native(root + "/src/"));
    t.click("CmdAddFolder");
    t.click("CmdAddFolder");
    const QStringList once{Native(root + "/src/a.txt"), Native(root + "/src/b.mbox"), Native(root + "/src/sub/c.mbox")};
    QCOMPARE(t.rows(), once);
    QCOMPARE(t.label("lblCount1"), QStringLiteral("3 files"));
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.prompts->messages.size(), size_t{2});
    QCOMPARE(t.prompts->messages[0].text, QStringLiteral("3 Files Added to List."));
    QCOMPARE(t.prompts->messages[0].title, kTitle);
    QCOMPARE(t.prompts->messages[0].icon, MessageIcon::None);
    QVERIFY(!t.prompts->messages[0].busyPointer);
    QCOMPARE(t.prompts->messages[1].text, QStringLiteral("0 Files Added to List.\nAlready in the list: 3."));
    QCOMPARE(t.w->fileList().Row(), 2);

    // No file below the folder: the list still holds files, so Convert stays on.
    t.prompts->folders.push_back(Native(root + "/empty"));
    t.click("CmdAddFolder");
    QCOMPARE(t.prompts->messages.back().text, QStringLiteral("0 Files Added to List."));
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.grid()->rowCount(), 3);
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QCOMPARE(t.prompts->unexpected, 0);
}

// A folder source that takes its time over each folder and counts the folders listed.
class SlowFolderSource : public bv::filelist::FolderSource {
public:
    explicit SlowFolderSource(std::atomic<int>& listed) : listed_(listed) {}
    bool FolderExists(const std::string& path) override { return local_->FolderExists(path); }
    Listing List(const std::string& path) override {
        ++listed_;
        QThread::msleep(2);
        return local_->List(path);
    }

private:
    std::atomic<int>& listed_;
    std::shared_ptr<bv::filelist::FolderSource> local_ = bv::filelist::MakeLocalFolderSource();
};

void WindowTest::folderSearchCountsAndEscStopsIt() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    constexpr int kFolders = 200;
    for (int i = 0; i < kFolders; ++i) WriteFile(dir.path() + QStringLiteral("/f%1/box.mbox").arg(i), "x");

    Window t;
    QApplication::setActiveWindow(t.w.get());
    QVERIFY(QTest::qWaitForWindowActive(t.w.get()));
    t.prompts->files.push_back({QStringLiteral("/kept.mbox")});
    t.click("cmdAdd");
    std::atomic<int> listed{0};
    t.w->SetFolderSource([&listed] { return std::make_shared<SlowFolderSource>(listed); });

    // While the search runs the count label tells how many files it has found, the
    // list and the buttons that change it are off; Esc then stops the search.
    QStringList seen;
    bool listOffWhileSearching = false;
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        const QString count = t.label("lblCount1");
        if (!count.startsWith(QStringLiteral("Searching"))) return;
        seen << count;
        listOffWhileSearching = !t.button("cmdAdd")->isEnabled() && !t.button("cmdClear1")->isEnabled() &&
                                !t.grid()->isEnabled() && !t.button("CmdConvert")->isEnabled() &&
                                t.button("cmdEnd")->isEnabled();
        if (seen.size() != 2) return;
        QWidget* focused = QApplication::focusWidget();
        QTest::keyClick(focused ? focused : t.w.get(), Qt::Key_Escape);
    });
    t.prompts->whileChoosingFolder = [&watcher] { watcher.start(5); };
    t.prompts->folders.push_back(dir.path());
    t.click("CmdAddFolder");
    watcher.stop();

    QVERIFY2(seen.size() >= 2, qPrintable(seen.join(QLatin1Char('|'))));
    const QRegularExpression searching(QStringLiteral("^Searching the folder: (\\d+) files found \\(Esc stops\\)$"));
    QVERIFY2(searching.match(seen[0]).hasMatch(), qPrintable(seen[0]));
    QVERIFY(searching.match(seen[1]).captured(1).toInt() > 0);
    QVERIFY(listOffWhileSearching);
    QVERIFY2(listed < kFolders, qPrintable(QString::number(listed)));
    // Stopped: nothing added, no box, everything back as it was.
    QCOMPARE(t.rows(), QStringList{QStringLiteral("/kept.mbox")});
    QCOMPARE(t.label("lblCount1"), QStringLiteral("1 files"));
    QVERIFY(t.prompts->messages.empty());
    QVERIFY(t.button("cmdAdd")->isEnabled());
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Not stopped, the same search adds every file.
    t.prompts->whileChoosingFolder = nullptr;
    t.w->SetFolderSource({});
    t.prompts->folders.push_back(dir.path());
    t.click("CmdAddFolder");
    QCOMPARE(t.grid()->rowCount(), 1 + kFolders);
    QCOMPARE(t.prompts->messages.back().text, QStringLiteral("%1 Files Added to List.").arg(kFolders));
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
    const std::string victim = Native(root + "/b/").toStdString();

    Window t;
    t.w->SetFolderSource([victim] { return std::make_shared<VanishingFolderSource>(victim); });
    t.prompts->folders.push_back(Native(root));
    t.click("CmdAddFolder");
    QCOMPARE(t.rows(), (QStringList{Native(root + "/top.mbox"), Native(root + "/a/a1.mbox")}));
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
    QVERIFY(RunToEnd(t));

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
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QVERIFY(t.button("cmdAdd")->isEnabled());
    for (const char* opt : {"OptEML", "OptEMLX", "OptPST", "OptMSG"}) QVERIFY(!t.option(opt)->isChecked());
    QCOMPARE(t.label("LblProgessCurrent"), QStringLiteral("Mailbox 1 (of 1) "));
    QCOMPARE(t.get<QProgressBar>("prgRun")->value(), 1000);
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
    QVERIFY(RunToEnd(t));

    const QString folder = OutputFolder(destination, input);
    QVERIFY(QFile::exists(folder + "/Inbox/email-1.eml"));
    QVERIFY(QFile::exists(folder + "/Deleted Items/email-2.eml"));
    QVERIFY(QFile::exists(folder + "/Work/Projects/email-3.eml"));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList());
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    const QString done = t.prompts->messages.back().text;
    const QString details = t.prompts->messages.back().details;
    QVERIFY2(done.contains(QStringLiteral("successfully exported")), qPrintable(done));
    QVERIFY2(details.contains(QStringLiteral("Messages per folder:")), qPrintable(details));
    QVERIFY2(details.contains(QRegularExpression(QStringLiteral("Work/Projects +1"))), qPrintable(details));
    QCOMPARE(t.prompts->unexpected, 0);
}

// The bar shows the share of the input read over all mailboxes: it only grows, passes
// through shares between the ends, and is full once every mailbox is read. The labels
// keep their texts.
void WindowTest::progressBarFollowsTheBytesRead() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QStringList inputs;
    for (int i = 1; i <= 3; ++i) {
        inputs << dir.path() + QStringLiteral("/in/box%1.mbox").arg(i);
        WriteFile(inputs.back(), Mailbox(4000 * i));
    }
    Window t;
    t.prompts->files.push_back(inputs);
    t.click("cmdAdd");
    auto* bar = t.get<QProgressBar>("prgRun");
    QList<int> values;
    QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) { values << v; });
    // Into one store: a run long enough for the bar to move, whatever the disk.
    for (const char* run : {"first", "second"}) {
        values.clear();
        t.click("OptPST");
        QVERIFY(t.check()->isChecked());
        t.prompts->folders.push_back(dir.path() + QLatin1Char('/') + QLatin1String(run));
        QDir().mkpath(t.prompts->folders.back());
        const bool fromFull = bar->value() == bar->maximum();
        QVERIFY(RunToEnd(t));

        QVERIFY(!values.isEmpty());
        if (fromFull) QCOMPARE(values.front(), 0);  // the next run starts from an empty bar
        QCOMPARE(values.back(), bar->maximum());
        QVERIFY(std::is_sorted(values.begin(), values.end()));
        QVERIFY2(std::any_of(values.begin(), values.end(), [&](int v) { return v > 0 && v < bar->maximum(); }),
                 qPrintable(QString::number(values.size())));
        QCOMPARE(t.label("LblProgessCurrent"), QStringLiteral("Mailbox 3 (of 3) "));
        QCOMPARE(t.label("LblIMMFile"), QStringLiteral("box3.mbox"));
        // The three mailboxes share their first messages: the store holds each once.
        QCOMPARE(t.label("LblProgress"), QStringLiteral("Saved 12000 Email Messages... 12000 already there"));
    }
    QCOMPARE(t.prompts->unexpected, 0);
}

// "Label map..." beside the check box: a map chosen is read at once (a bad one is
// refused with its line), ticks the sorting, and its meanings decide the folders.
void WindowTest::labelMapChosenAndUsed() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString input = dir.path() + "/in/anna.mbox";
    const QString map = dir.path() + "/map.txt";
    const QString destination = dir.path() + "/out";
    QDir().mkpath(destination);
    WriteFile(input, "From a\nSubject: 1\nX-Brimvault-Labels: Innboks,Ulest\n\nx\n"
                     "From b\nSubject: 2\nX-Brimvault-Labels: Prosjekt\n\ny\n");
    WriteFile(map, "Innboks = Inbox\nnot a line\n");

    Window t;
    t.prompts->files.push_back({map});
    t.click("CmdLabelMap");
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    QVERIFY2(t.prompts->messages[0].text.contains(QStringLiteral("line 2: no \"=\"")), qPrintable(t.prompts->messages[0].text));
    QVERIFY(!t.get<QCheckBox>("ChkByLabel")->isChecked());

    WriteFile(map, "Innboks = Inbox\nUlest = unread\n");
    t.prompts->files.push_back({map});
    t.click("CmdLabelMap");
    QVERIFY(t.get<QCheckBox>("ChkByLabel")->isChecked());
    QVERIFY(t.button("CmdLabelMap")->toolTip().contains(map));
    t.prompts->files.push_back({input});
    t.click("cmdAdd");
    t.click("OptEML");
    t.prompts->folders.push_back(destination);
    QVERIFY(RunToEnd(t));
    const QString folder = OutputFolder(destination, input);
    QVERIFY(QFile::exists(folder + "/Inbox/email-1.eml"));
    QVERIFY(QFile::exists(folder + "/Prosjekt/email-2.eml"));
    QVERIFY2(t.prompts->messages.back().text.contains(QStringLiteral("successfully exported")),
             qPrintable(t.prompts->messages.back().text));

    // Nothing chosen while a map is in use: asked, and the map goes.
    t.prompts->files.push_back({});
    t.prompts->answers.push_back(true);
    t.click("CmdLabelMap");
    QVERIFY(!t.button("CmdLabelMap")->toolTip().contains(map));
    QCOMPARE(t.prompts->unexpected, 0);
}

// The window in each of its languages: every text is translated where a translation
// exists, and no caption is cut off by the place made for the English one.
// Whatever happens, the tests after a test of the languages see the window in English.
struct EnglishAfter {
    ~EnglishAfter() {
        for (QTranslator* tr : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(tr);
            delete tr;
        }
    }
};

void WindowTest::everyLanguageFitsItsPlaces() {
    using English = EnglishAfter;
    QStringList cut;
    for (const QString& language : bv::shell::WindowLanguages()) {
        English english;
        QCOMPARE(bv::shell::InstallTranslations(*qApp, QLocale(language)), language);
        Window t;
        QVERIFY(t.button("CmdConvert")->text() != QStringLiteral("Convert"));
        for (QWidget* c : t.w->findChildren<QWidget*>()) {
            QString text;
            int room = c->width();
            if (auto* b = qobject_cast<QAbstractButton*>(c)) text = b->text();
            else if (auto* l = qobject_cast<QLabel*>(c)) text = l->text();
            else if (auto* g = qobject_cast<QGroupBox*>(c)) text = g->title(), room -= 16;
            if (text.isEmpty() || !c->isVisible()) continue;
            const int needs =
                qobject_cast<QGroupBox*>(c) ? c->fontMetrics().horizontalAdvance(text) : c->sizeHint().width();
            if (needs > room || c->fontMetrics().height() > c->height() + 2)
                cut << QStringLiteral("%1: %2 \"%3\" needs %4x%5 of %6x%7")
                           .arg(language, c->objectName(), text)
                           .arg(needs)
                           .arg(c->fontMetrics().height())
                           .arg(room)
                           .arg(c->height());
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    QCOMPARE(QCoreApplication::translate("frmStep1", "Convert"), QStringLiteral("Convert"));
}

// A caption wider than its place is set narrower, just enough; one that fits keeps its
// font, and one that cannot fit goes no narrower than three quarters.
void WindowTest::captionsNarrowedToFitTheirPlaces() {
    QWidget window;
    window.setFont(Window().w->font());  // (a face that can be narrowed, as the window's is)
    auto* fits = new QPushButton(QStringLiteral("Convert"), &window);
    auto* tight = new QLabel(QStringLiteral("Wandelt Brimvault-MBOX-Sicherungen um"), &window);
    auto* hopeless = new QPushButton(QStringLiteral("Brimvault-bestand(en) kiezen..."), &window);
    fits->resize(fits->sizeHint().width() + 10, 25);
    tight->resize(tight->sizeHint().width() * 95 / 100, 17);
    hopeless->resize(hopeless->sizeHint().width() / 2, 25);
    const QFont before = window.font();
    const int natural = before.stretch() == QFont::AnyStretch ? 100 : before.stretch();
    bv::shell::FitCaptions(window);
    QCOMPARE(fits->font(), before);
    QCOMPARE(bv::shell::CaptionOverflow(*tight), 0);
    const int narrowed = tight->font().stretch();
    QVERIFY2(narrowed < natural && narrowed >= natural * 3 / 4, qPrintable(QString::number(narrowed)));
    QFont wider = tight->font();  // (just enough: a step wider does not fit)
    wider.setStretch(narrowed + 3);
    tight->setFont(wider);
    QVERIFY(bv::shell::CaptionOverflow(*tight) > 0);
    QVERIFY(bv::shell::CaptionOverflow(*hopeless) > 0);
    QVERIFY(hopeless->font().stretch() >= natural * 3 / 4 && hopeless->font().stretch() - 3 < natural * 3 / 4);
}

// The completion box in each of the window's languages: every line the run's counts and
// names are part of, and each file's result, says them in the language.
void WindowTest::completionBoxInEveryLanguage() {
    using bv::conversion::FailureKind;
    bv::conversion::RunReport problems;
    problems.destination = "/out/";
    problems.inputsFound = 3;
    problems.mailboxesConverted = problems.mailboxesFailed = problems.itemFilesConverted = 1;
    problems.messagesConverted = 17;
    problems.messagesFailed = problems.itemsFailed = 2;
    problems.itemsConverted = 4;
    problems.messagesAlreadyThere = problems.itemsAlreadyThere = 6;
    problems.inputsNotReached = 2;
    problems.failures = {{"/out/a.pst", "no space", FailureKind::DiskFull}};
    problems.endedBy = problems.failures[0];
    problems.storeFiles = {"/out/a.pst", "/out/b.pst"};
    problems.storesAddedTo = {"/out/b.pst"};
    problems.storeParts = {"/out/a-2.pst"};
    problems.readBack.stores = 2;
    problems.inputResults["/in/a.mbox"] = {true, false, 17, 6, 2, "why"};
    bv::conversion::RunReport clean;
    clean.destination = "/out/";
    clean.inputsFound = clean.mailboxesConverted = 1;
    clean.messagesConverted = 3;
    clean.messagesAlreadyThere = 9;
    clean.storeFiles = {"/out/c.pst"};
    clean.storesAddedTo = {"/out/c.pst"};
    const QStringList english = {
        "Converted:", "of 2 mailboxes", "Messages not converted", "Contacts, events and tasks not converted",
        "The disk is full", "Already there", "Stores:", "Destination:", "written in parts", "read back",
        "successfully exported", "Messages were added to the store"};
    for (const QString& language : bv::shell::WindowLanguages()) {
        EnglishAfter englishAfter;
        QCOMPARE(bv::shell::InstallTranslations(*qApp, QLocale(language)), language);
        QString all;
        for (const auto& box : {bv::shell::CompletionBox(problems, true), bv::shell::CompletionBox(clean, true)})
            all += box.lead + box.lists;
        for (const QString& words : english)
            QVERIFY2(!all.contains(words), qPrintable(language + ": \"" + words + "\" in\n" + all));
        for (const char* count : {"17", "6", "/out/c.pst", "/out/a-2.pst", "/out/"})
            QVERIFY2(all.contains(QLatin1String(count)), qPrintable(language + ": " + count + " in\n" + all));
        const QString result = bv::shell::InputResultText(problems, QStringLiteral("/in/a.mbox"));
        QVERIFY2(!result.contains(QStringLiteral("converted")) && result.contains(QStringLiteral("why")),
                 qPrintable(language + ": " + result));
        QVERIFY(bv::shell::InputResultText(problems, QStringLiteral("/in/z.mbox")) != QStringLiteral("not reached"));
    }
}

// After a run into 150 label folders the box shows the summary and keeps the lists in
// its details area; any box, however long its text, fits the screen.
void WindowTest::longListsGoIntoTheDetails() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString input = dir.path() + "/in/labels.mbox";
    const QString destination = dir.path() + "/out";
    QDir().mkpath(destination);
    constexpr int kFolders = 150;
    QByteArray box;
    for (int i = 1; i <= kFolders; ++i)
        box += "From sender@example.org Mon Jan  1 00:00:00 2024\nSubject: labelled\nX-Brimvault-Labels: Project " +
               QByteArray::number(i) + ",Opened\n\nBody.\n\n";
    WriteFile(input, box);

    Window t;
    t.prompts->files.push_back({input});
    t.click("cmdAdd");
    t.click("OptEML");
    t.click(t.get<QCheckBox>("ChkByLabel"));
    t.prompts->folders.push_back(destination);
    QVERIFY(RunToEnd(t));
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    const auto& done = t.prompts->messages[0];
    QVERIFY2(done.text.contains(QStringLiteral("successfully exported")), qPrintable(done.text));
    QVERIFY2(done.text.count(QLatin1Char('\n')) < 8, qPrintable(done.text));
    QVERIFY(done.details.contains(QStringLiteral("Messages per folder:")));
    for (int i = 1; i <= kFolders; ++i)
        QVERIFY2(done.details.contains(QRegularExpression(QStringLiteral("Project %1 +1\\r?\\n").arg(i))),
                 qPrintable(QString::number(i)));

    // The real box, its details open, inside the screen.
    const QRect screen = t.w->screen()->availableGeometry();
    auto fitsOpen = [&](QMessageBox& shown) {
        for (QAbstractButton* b : shown.findChildren<QAbstractButton*>())
            if (b->text().startsWith(QStringLiteral("Show Details"))) b->click();
        QCoreApplication::processEvents();
        return screen.contains(shown.frameGeometry());
    };
    auto native = bv::shell::NativePrompts::ShowMessageBox(done.text, done.title, done.icon, done.details, t.w.get());
    QCOMPARE(native->detailedText(), QString(done.details).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QVERIFY(fitsOpen(*native));
    // A text of 400 lines: the box shows its head, the details hold all of it.
    QStringList lines;
    for (int i = 1; i <= 400; ++i) lines << QStringLiteral("line %1").arg(i);
    auto tall = bv::shell::NativePrompts::ShowMessageBox(lines.join(QLatin1Char('\n')), kTitle, MessageIcon::Warning,
                                                         QString(), t.w.get());
    QVERIFY(tall->text().startsWith(QStringLiteral("line 1\nline 2\n")));
    QVERIFY(!tall->text().contains(QStringLiteral("line 400")));
    QVERIFY(tall->detailedText().contains(QStringLiteral("line 399\nline 400")));
    QVERIFY(fitsOpen(*tall));
}

// A store that cannot be created: the box keeps its title, shows the error icon and
// names the cause; the run wrote nothing.
void WindowTest::storeErrorLeadsWithItsCause() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString input = dir.path() + "/in/anna.mbox";
    WriteFile(input, Mailbox(3));
    const QString notAFolder = Native(dir.path() + "/not-a-folder");
    WriteFile(notAFolder, "a file where the destination should be");

    Window t;
    t.prompts->files.push_back({input});
    t.click("cmdAdd");
    t.click("OptPST");
    QVERIFY(t.check()->isChecked());  // one store for all: opened before the first mailbox
    t.prompts->folders.push_back(notAFolder);
    QVERIFY(RunToEnd(t));
    QCOMPARE(t.prompts->messages.size(), size_t{1});
    const auto& shown = t.prompts->messages[0];
    QCOMPARE(shown.title, kTitle);
    QCOMPARE(shown.icon, MessageIcon::Error);
    // It leads with the cause: which file, and why.
    const QString lead = shown.text.section(QLatin1Char('\n'), 0, 0);
    // (The Windows build words the cause as the C library does.)
    QVERIFY2(lead.contains(notAFolder) &&
                 (lead.contains(NotAFolderCause()) || lead.contains(QStringLiteral("Not a directory"))),
             qPrintable(shown.text));
    QVERIFY2(!shown.text.contains(QStringLiteral("install"), Qt::CaseInsensitive), qPrintable(shown.text));
    auto native = bv::shell::NativePrompts::ShowMessageBox(shown.text, shown.title, shown.icon, shown.details, t.w.get());
    QCOMPARE(native->icon(), QMessageBox::Critical);
    QCOMPARE(native->windowTitle(), kTitle);
    QVERIFY(t.button("CmdConvert")->isEnabled());
    QCOMPARE(t.prompts->unexpected, 0);
}

// The run works on its own thread: a box left open mid-run holds nothing up, on disk
// or on the labels. While it runs, the list, its buttons, the options and Convert are
// off; Exit and the close box ask first, and Yes stops the run after the message in
// hand and closes the window once it has ended.
void WindowTest::aBoxOpenMidRunHoldsNothingUp() {
    constexpr int kMessages = 20000;
    EmlxRun run(kMessages);
    Window& t = run.t;
    const QString folder = OutputFolder(run.destination, run.input);
    QSignalSpy finished(t.w.get(), &frmStep1::runFinished);
    t.click("CmdConvert");
    QVERIFY(t.w->running());
    for (const char* name : kOffDuringRun) QVERIFY2(!t.get<QWidget>(name)->isEnabled(), name);
    for (const char* name : kOnDuringRun) QVERIFY2(t.get<QWidget>(name)->isEnabled(), name);
    QTRY_VERIFY(SavedCount(t) >= 10);

    // Exit, answered No after a while.
    int filesBefore = 0, filesAfter = 0, savedBefore = 0, savedAfter = 0;
    t.prompts->answers.push_back(false);
    t.prompts->whileAsking = [&] {
        filesBefore = FileCount(folder);
        QThread::msleep(100);  // the window's thread handles nothing meanwhile
        filesAfter = FileCount(folder);
        savedBefore = SavedCount(t);
        QElapsedTimer waited;  // the box's own event loop: the labels go on
        waited.start();
        while (SavedCount(t) <= savedBefore && waited.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        savedAfter = SavedCount(t);
    };
    t.click("cmdEnd");
    t.prompts->whileAsking = nullptr;
    QCOMPARE(t.prompts->questions, std::vector<QString>{kTitle + QStringLiteral("|A conversion is running. Stop it and exit?")});
    QVERIFY2(filesAfter > filesBefore, qPrintable(QStringLiteral("%1 %2").arg(filesBefore).arg(filesAfter)));
    QVERIFY2(savedAfter > savedBefore, qPrintable(QStringLiteral("%1 %2").arg(savedBefore).arg(savedAfter)));
    QVERIFY(t.w->running());
    QVERIFY(t.w->isVisible());
    QVERIFY(!t.w->closing());

    // The close box asks the same; Yes.
    t.prompts->answers.push_back(true);
    t.w->close();
    QCOMPARE(t.prompts->questions.size(), size_t{2});
    QCOMPARE(t.prompts->questions.back(), t.prompts->questions.front());
    QVERIFY(finished.count() == 1 || t.w->isVisible());  // open until the run has ended
    QVERIFY(finished.count() == 1 || finished.wait(30000));
    QVERIFY(!t.w->isVisible());
    QVERIFY(t.w->closing());
    QVERIFY(!t.w->running());
    // Nothing is told after the close; fewer than all messages, every file complete.
    QVERIFY(t.prompts->messages.empty());
    const int written = FileCount(folder);
    QVERIFY2(written >= 10 && written < kMessages, qPrintable(QString::number(written)));
    for (int i = 1; i <= written; ++i) {
        QFile f(folder + QStringLiteral("/email-%1.emlx").arg(i));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(f.fileName()));
        QVERIFY(f.readAll().contains("Body of message " + QByteArray::number(i) + "."));
    }
    QCOMPARE(t.prompts->unexpected, 0);
}

// Exit in the middle of a run into one store per mailbox: the store being written is
// finished, the finished ones stay, the rest are not begun, and every store left
// behind validates.
void WindowTest::exitMidRunLeavesValidStores() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString destination = dir.path() + "/out";
    QDir().mkpath(destination);
    QStringList inputs;
    for (const char* name : {"first", "second", "third"}) {
        inputs << dir.path() + QStringLiteral("/in/%1.mbox").arg(QLatin1String(name));
        WriteFile(inputs.back(), Mailbox(inputs.size() == 2 ? 20000 : 200));
    }
    Window t;
    t.prompts->files.push_back(inputs);
    t.click("cmdAdd");
    t.click("OptPST");
    t.click(t.check());  // one store per mailbox
    QVERIFY(!t.check()->isChecked());
    t.prompts->folders.push_back(destination);
    QSignalSpy finished(t.w.get(), &frmStep1::runFinished);
    t.click("CmdConvert");
    // Once the second mailbox is being written (the first one had 200 messages).
    QTRY_VERIFY_WITH_TIMEOUT(t.label("LblProgessCurrent") == QStringLiteral("Mailbox 2 (of 3) ") &&
                                 SavedCount(t) != 200,
                             30000);
    t.prompts->answers.push_back(true);
    t.click("cmdEnd");
    QCOMPARE(t.prompts->questions.back(), kTitle + QStringLiteral("|A conversion is running. Stop it and exit?"));
    QVERIFY(finished.count() == 1 || finished.wait(60000));
    QVERIFY(!t.w->isVisible());
    QVERIFY(t.prompts->messages.empty());

    QCOMPARE(QDir(destination).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"first.pst", "second.pst"}));
    for (const QString& store : {QStringLiteral("first.pst"), QStringLiteral("second.pst")}) {
        QProcess validate;
        validate.start(QStringLiteral(BV_PST_VALIDATE), {destination + QLatin1Char('/') + store});
        QVERIFY(validate.waitForFinished(60000));
        QVERIFY2(validate.exitStatus() == QProcess::NormalExit && validate.exitCode() == 0,
                 qPrintable(store + QLatin1Char('\n') + validate.readAllStandardOutput() + validate.readAllStandardError()));
    }
    QCOMPARE(t.prompts->unexpected, 0);
}

// The store files in `folder`, by name.
QStringList Stores(const QString& folder) { return QDir(folder).entryList({QStringLiteral("*.pst")}, QDir::Files, QDir::Name); }

bool Validates(const QString& store) {
    QProcess validate;
    validate.start(QStringLiteral(BV_PST_VALIDATE), {store});
    return validate.waitForFinished(60000) && validate.exitStatus() == QProcess::NormalExit && validate.exitCode() == 0;
}

// The defaults (.pst, one store for all) stopped by Exit, Yes, then run again after a
// start of the program, then once more: one store, the first run's, each message
// added once; the boxes say that messages were added to it. With BV_KEEP_OUTPUT set,
// the input and the destination are made there and left for the readers of
// tests/window/rerun_interop.py.
void WindowTest::rerunWithTheDefaultsAddsToTheFirstStore() {
    constexpr int kMessages = 20000;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString kept = qEnvironmentVariable("BV_KEEP_OUTPUT");
    const QString root = kept.isEmpty() ? dir.path() : kept;
    const QString input = root + "/in/Inbox.mbox";
    const QString destination = root + "/out";
    QDir().mkpath(destination);
    WriteFile(input, Mailbox(kMessages));

    int firstRun = 0;
    {
        Window t;
        t.prompts->files.push_back({input});
        t.click("cmdAdd");
        t.click("OptPST");
        QVERIFY(t.check()->isChecked());
        t.prompts->folders.push_back(destination);
        QSignalSpy finished(t.w.get(), &frmStep1::runFinished);
        t.click("CmdConvert");
        QTRY_VERIFY_WITH_TIMEOUT(SavedCount(t) > 0, 30000);
        t.prompts->answers.push_back(true);
        t.click("cmdEnd");
        QVERIFY(finished.count() == 1 || finished.wait(60000));
        QVERIFY(t.prompts->messages.empty());
        QCOMPARE(Stores(destination).size(), qsizetype(1));
        firstRun = SavedCount(t);
        QVERIFY2(firstRun < kMessages, "the run ended before it could be stopped");
    }
    const QString store = destination + QLatin1Char('/') + Stores(destination).front();
    for (int run = 1; run <= 2; ++run) {
        Window t(true);
        t.prompts->files.push_back({input});
        t.click("cmdAdd");
        t.click("OptPST");
        QVERIFY(t.check()->isChecked());
        t.prompts->folders.push_back(destination);
        QVERIFY(RunToEnd(t));
        QCOMPARE(Stores(destination), QStringList{QFileInfo(store).fileName()});
        QCOMPARE(t.prompts->messages.size(), size_t{1});
        const QString text = t.prompts->messages[0].text;
        QVERIFY2(text.contains(QStringLiteral("successfully exported")), qPrintable(text));
        const QString added = QStringLiteral("Messages were added to the store of an earlier run: ");
        QVERIFY2(text.contains(added) && text.section(added, 1).contains(QFileInfo(store).fileName()),
                 qPrintable(text));
        if (run == 1) {
            QVERIFY2(text.contains(QStringLiteral("Converted: 1 mailboxes, %1 messages.").arg(kMessages - firstRun)),
                     qPrintable(text));
        } else {
            QVERIFY2(text.contains(QStringLiteral("Every message (%1) was already there").arg(kMessages)), qPrintable(text));
            QCOMPARE(t.label("LblProgress"), QStringLiteral("Saved 0 Email Messages... %1 already there").arg(kMessages));
        }
    }
    QVERIFY(Validates(store));
}

// anna/Inbox.mbox and bob/Inbox.mbox, one store each: two stores, named after the
// folders the mailboxes lie in, each with its own messages.
void WindowTest::sameNamedMailboxesStayApart() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString destination = dir.path() + "/out";
    const QStringList inputs{dir.path() + "/anna/Inbox.mbox", dir.path() + "/bob/Inbox.mbox"};
    WriteFile(inputs[0], Mailbox(2));
    WriteFile(inputs[1], Mailbox(3));
    Window t;
    t.prompts->files.push_back(inputs);
    t.click("cmdAdd");
    t.click("OptPST");
    t.click(t.check());  // one store per mailbox
    t.prompts->folders.push_back(destination);
    QVERIFY(RunToEnd(t));
    QCOMPARE(Stores(destination), (QStringList{"Inbox (anna).pst", "Inbox (bob).pst"}));
    QCOMPARE(t.grid()->item(0, 2)->text(), QStringLiteral("2 converted"));
    QCOMPARE(t.grid()->item(1, 2)->text(), QStringLiteral("3 converted"));
    for (const QString& store : Stores(destination)) QVERIFY(Validates(destination + QLatin1Char('/') + store));
}

// A mailbox and a contacts file into .eml: the contacts are passed over, which is a
// note and no problem; each file's row says what became of it; the counts tell
// mailboxes from contacts files; a second run tells what was there already; a change
// of the list takes the last run's labels away.
void WindowTest::countsTellWhatBecameOfEachFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QStringList inputs{dir.path() + "/in/anna.mbox", dir.path() + "/in/contacts.vcf"};
    WriteFile(inputs[0], Mailbox(3));
    WriteFile(inputs[1], "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna\r\nEND:VCARD\r\n");
    Window t;
    t.prompts->files.push_back(inputs);
    t.click("cmdAdd");
    QVERIFY(!t.grid()->item(0, 1)->text().isEmpty());  // its size
    struct Run {
        const char* progress;
        const char* row0;
    };
    const Run runs[] = {{"Saved 3 Email Messages...", "3 converted"},
                        {"Saved 0 Email Messages... 3 already there", "3 already there"}};
    for (const Run& run : runs) {
        t.click("OptEML");
        t.prompts->folders.push_back(dir.path() + "/out");
        QVERIFY(RunToEnd(t));
        const auto& done = t.prompts->messages.back();
        QCOMPARE(done.icon, MessageIcon::Information);
        QVERIFY2(done.text.contains(QStringLiteral("successfully exported")), qPrintable(done.text));
        QVERIFY2(done.details.contains(QStringLiteral("Passed over:")) && done.details.contains(inputs[1]),
                 qPrintable(done.details));
        QCOMPARE(t.label("LblProgress"), QString::fromLatin1(run.progress));
        QCOMPARE(t.grid()->item(0, 2)->text(), QString::fromLatin1(run.row0));
        QCOMPARE(t.grid()->item(1, 2)->text(), QStringLiteral("passed over"));
    }
    QVERIFY2(t.prompts->messages[0].text.contains(QStringLiteral("Converted: 1 mailboxes, 3 messages.")),
             qPrintable(t.prompts->messages[0].text));
    // A new list starts from nothing.
    t.prompts->answers.push_back(true);
    t.click("cmdClear1");
    QCOMPARE(t.label("LblProgessCurrent"), QStringLiteral("Mailbox  0 (of 0)"));
    QCOMPARE(t.label("LblIMMFile"), QString());
    QCOMPARE(t.label("LblProgress"), QStringLiteral("Saving :"));
    QCOMPARE(t.get<QProgressBar>("prgRun")->value(), 0);
    QCOMPARE(t.prompts->unexpected, 0);
}

// The completion box names the destination, the store file and the count, its
// "Open folder" opens the destination and its "Save report..." saves the run's report.
void WindowTest::completionBoxSaysWhereTheOutputWent() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString input = dir.path() + "/in/anna.mbox";
    const QString destination = Native(dir.path() + "/out");
    WriteFile(input, Mailbox(3));
    Window t;
    t.prompts->files.push_back({input});
    t.click("cmdAdd");
    t.click("OptPST");
    t.prompts->folders.push_back(destination);
    QVERIFY(RunToEnd(t));
    const auto& done = t.prompts->messages.back();
    const QString store = destination + QDir::separator() + Stores(destination).value(0);
    for (const QString& line : {QStringLiteral("Converted: 1 mailboxes, 3 messages."), QStringLiteral("Store: ") + store,
                                QStringLiteral("Destination: ") + destination + QDir::separator()})
        QVERIFY2(done.text.contains(line), qPrintable(line + QStringLiteral(" in\n") + done.text));
    QCOMPARE(done.actions.size(), size_t{2});
    QCOMPARE(done.actions[0].caption, QStringLiteral("Open folder"));
    done.actions[0].run();
    QCOMPARE(t.prompts->opened, std::vector<QString>{destination + QDir::separator()});
    // "Save report..." copies the run's report: a row for each message, and where it went.
    QCOMPARE(done.actions[1].caption, QStringLiteral("Save report..."));
    const QString saved = dir.path() + "/report.csv";
    t.prompts->saveFiles.push_back(saved);
    done.actions[1].run();
    QFile report(saved);
    QVERIFY(report.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(report.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 4);  // a header and three messages
    QVERIFY2(rows[1].contains(QStringLiteral("converted")) && rows[1].contains(Stores(destination).value(0)),
             qPrintable(rows[1]));
    QCOMPARE(t.prompts->unexpected, 0);
}

// The window grows with the list taking the height and the width; it shrinks to fit a
// screen of 800 x 500 (1600 x 1000 at 200 %) with its frame, every control still inside
// it, nothing on top of another, the first option below its frame's title.
void WindowTest::windowResizesAndFitsASmallScreen() {
    Window t;
    const QSize first = t.w->size();
    QCOMPARE(first, QSize(t.w->Twips(8985), t.w->Twips(8055)));
    const QRect list = t.grid()->geometry(), convert = t.button("CmdConvert")->geometry();
    const QRect exit = t.button("cmdEnd")->geometry();
    t.w->resize(first + QSize(300, 200));
    QCOMPARE(t.grid()->geometry(), list.adjusted(0, 0, 300, 200));
    QCOMPARE(t.button("CmdConvert")->geometry(), convert.translated(150, 200));
    QCOMPARE(t.button("cmdEnd")->geometry(), exit.translated(300, 0));

    const QSize least = t.w->minimumSize();
    QVERIFY2(least.width() + 16 <= 800 && least.height() + 40 <= 500,
             qPrintable(QStringLiteral("%1x%2").arg(least.width()).arg(least.height())));
    t.w->resize(least);
    QCOMPARE(t.w->size(), least);
    QVERIFY(t.grid()->height() >= 2 * t.grid()->verticalHeader()->defaultSectionSize());
    const char* const stacked[] = {"cmdAdd", "lblCount1", "grdFiles1", "Frame1", "ChkAllinOnePST", "Label4",
                                   "LblProgessCurrent", "Label1", "LblProgress", "CmdConvert", "Picture3"};
    for (size_t i = 0; i < std::size(stacked); ++i) {
        const QRect r = t.get<QWidget>(stacked[i])->geometry();
        QVERIFY2(t.w->rect().contains(r), stacked[i]);
        if (i > 0) QVERIFY2(r.top() >= t.get<QWidget>(stacked[i - 1])->geometry().bottom(), stacked[i]);
    }
    const QWidget* options = t.get<QWidget>("Picture1");
    QVERIFY(options->y() >= t.get<QGroupBox>("Frame1")->contentsRect().top());
    QVERIFY(options->geometry().bottom() < t.get<QWidget>("Frame1")->height());
}

QTEST_MAIN(WindowTest)
#include "window_test.moc"
