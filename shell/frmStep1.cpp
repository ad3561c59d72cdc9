#include "shell/frmStep1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QHeaderView>
#include <QSettings>
#include <QTableWidget>
#include <QTextBrowser>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <commctrl.h>
#undef Yield  // winbase.h's empty macro would hide RunObserver::Yield
#endif

#include "conversion/ConversionRun.h"
#include "filelist/FileAdders.h"
#include "filelist/FileListGrid.h"
#include "filelist/Prompts.h"
#include "shell/CaptionFit.h"
#include "shell/NativePrompts.h"
#include "shell/RunTexts.h"
#include "shell/RunThread.h"

namespace bv::shell {

namespace {

// A filled rectangle on the window surface: white, with a silver border.
class Band : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        p.setPen(QColor(192, 192, 192));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

enum class Kind { Band, Label, Button, Grid, Frame, Panel, Option, Check, Image, Progress };

// How a control follows the window's size beyond the size of the table below.
enum Anchor : unsigned {
    kFixed = 0,
    kWide = 1,     // grows with the width
    kTall = 2,     // grows with the height (the file list)
    kRight = 4,    // moves with the width
    kDown = 8,     // moves with the height
    kCentred = 16  // moves with half the width
};

struct ControlRow {
    const char* name;
    Kind kind;
    const char* in;  // the container; the window when null
    const char* caption;
    int left, top, width, height;  // twips, relative to the container, at the window's first size
    unsigned anchor;
};

// The window's controls from the top down, in twips. Later rows lie above earlier ones.
// Tab moves through them as they are laid out: top to bottom, left to right.
const ControlRow kControls[] = {
    {"Shape2", Kind::Band, nullptr, "", 0, 0, 11415, 855, kWide},
    {"lblTitle", Kind::Label, nullptr, "Brimvault Converter", 360, 120, 7695, 375, kFixed},
    {"lblNotice", Kind::Label, nullptr, nullptr /* kHeaderNotice */, 360, 480, 6135, 255, kFixed},
    {"cmdAdd", Kind::Button, nullptr, "Select Brimvault file(s)...", 240, 960, 2535, 375, kFixed},
    {"CmdAddFolder", Kind::Button, nullptr, "Select folder having brimvault file(s)...", 3000, 960, 3375, 375, kFixed},
    {"cmdClear1", Kind::Button, nullptr, "Clear file(s)...", 7440, 960, 1335, 375, kRight},
    {"lblCount1", Kind::Label, nullptr, "0 files", 270, 1440, 8535, 255, kWide},
    {"grdFiles1", Kind::Grid, nullptr, "", 240, 1680, 8535, 1575, kWide | kTall},
    {"Frame1", Kind::Frame, nullptr, " I want to convert brimvault messages to...", 240, 3360, 8535, 1695, kWide | kDown},
    {"Picture1", Kind::Panel, "Frame1", "", 120, 240, 8295, 1335, kWide},
    {"OptEML", Kind::Option, "Picture1",
     "(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)", 0, 0, 8055, 255,
     kWide},
    {"OptEMLX", Kind::Option, "Picture1", "(.emlx) files        -     (Supported by Mac OS X Tiger Mail)", 0, 360, 8295,
     255, kWide},
    {"OptPST", Kind::Option, "Picture1", "(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)", 0,
     720, 8055, 255, kWide},
    {"OptMSG", Kind::Option, "Picture1",
     "(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)", 0, 1080,
     8055, 255, kWide},
    {"ChkAllinOnePST", Kind::Check, nullptr, "Create Single Outlook PST file for All files", 240, 5160, 8535, 255,
     kWide | kDown},
    {"ChkByLabel", Kind::Check, nullptr, "Sort messages into folders by their labels", 3360, 5475, 3975, 255,
     kRight | kDown},
    {"CmdLabelMap", Kind::Button, nullptr, "Label map...", 7440, 5475, 1335, 270, kRight | kDown},
    {"Label4", Kind::Label, nullptr, "Converting Messages...", 240, 5475, 1815, 255, kDown},
    {"LblProgessCurrent", Kind::Label, nullptr, "Mailbox  0 (of 0)", 600, 5760, 2295, 255, kDown},
    {"prgRun", Kind::Progress, nullptr, "", 2955, 5760, 5820, 255, kWide | kDown},
    {"Label1", Kind::Label, nullptr, "Reading          :", 600, 6000, 1335, 255, kDown},
    {"LblIMMFile", Kind::Label, nullptr, "", 1920, 6000, 6855, 255, kWide | kDown},
    {"Image3", Kind::Image, nullptr, "", 600, 6255, 240, 240, kDown},
    {"LblProgress", Kind::Label, nullptr, "Saving :", 960, 6255, 7815, 255, kWide | kDown},
    {"CmdConvert", Kind::Button, nullptr, "Convert", 3120, 6720, 2775, 555, kCentred | kDown},
    {"Shape1", Kind::Band, nullptr, "", 0, 7440, 9015, 855, kWide | kDown},
    {"Picture3", Kind::Panel, nullptr, "", 240, 7560, 8655, 495, kWide | kDown},
    {"CmdHelp", Kind::Button, "Picture3", "&Help Manual", 0, 0, 1695, 375, kFixed},
    {"cmdEnd", Kind::Button, "Picture3", "E&xit", 7200, 0, 1335, 375, kRight},
};

constexpr int kClientWidthTwips = 8985;
constexpr int kClientHeightTwips = 8055;

// Below the list, the gaps between the groups of controls (top, height in twips): a
// window lower than the list's least height allows closes them, in this share.
struct Gap {
    int top, height;
};
constexpr Gap kGaps[] = {{3255, 105}, {5055, 105}, {6510, 210}, {7275, 165}};
constexpr double kGapShare = 0.85;

// Tahoma where the system has it, else the closest sans-serif at hand.
QString ControlFontFamily() {
    const QStringList families = QFontDatabase::families();
    for (const char* candidate : {"Tahoma", "DejaVu Sans", "Liberation Sans", "Arial"})
        if (families.contains(QString::fromLatin1(candidate))) return QString::fromLatin1(candidate);
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

QFont ControlFont(double points, bool bold) {
    const QString family = ControlFontFamily();
    QFont font(family);
    // Tahoma is narrower than the usual sans-serifs: take their condensed face where
    // there is one, so the captions fit the places made for Tahoma.
    if (family != QLatin1String("Tahoma")) font.setStretch(QFont::SemiCondensed);
    font.setPointSizeF(points);
    font.setBold(bold);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// Where the window keeps what the user chose, for the next start.
std::unique_ptr<QSettings> Settings() {
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Brimvault"),
                                       QStringLiteral("Brimvault Converter"));
}
const QString kSingleStoreKey = QStringLiteral("singleStore");

// Room the window's frame takes on screen beyond its client area.
constexpr QSize kFrameRoom(16, 48);

const char* const kLabelMapTip =
    "A file of your own that says what labels mean, one line each: label = Inbox, Sent Items, Drafts, "
    "Deleted Items, Junk Email, unread, starred, ignore or a folder path";

}  // namespace

frmStep1::frmStep1(std::unique_ptr<filelist::Prompts> prompts, QWidget* parent)
    : QWidget(parent), prompts_(std::move(prompts)) {
    if (!prompts_) prompts_ = std::make_unique<NativePrompts>(this);
    MeasureScreen();
    CreateControls();
    CentreOnScreen();
    ConnectHandlers();
    UpdateControls();
}

// A run still under way stops after the message in hand and finishes its files.
frmStep1::~frmStep1() {
    delete run_;
    if (!reportPath_.isEmpty()) QFile::remove(reportPath_);
}

int frmStep1::Twips(int twips) const { return static_cast<int>(std::lround(twips * pixelsPerTwip_)); }

// Pixels per twip of the screen the window opens on.
void frmStep1::MeasureScreen() {
#ifdef _WIN32
    InitCommonControls();
#endif
    QScreen* screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchX() : 96.0;
    pixelsPerTwip_ = dpi / 96.0 / 15.0;
}

template <typename T>
T* frmStep1::Control(const char* name) const {
    return findChild<T*>(QString::fromLatin1(name));
}

void frmStep1::CreateControls() {
    setObjectName(QStringLiteral("frmStep1"));
    setWindowTitle(kWindowTitle);
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addFile(QStringLiteral(":/icons/brimvault-converter-%1.png").arg(size), QSize(size, size));
    setWindowIcon(icon);
    setFont(ControlFont(8.25, false));
    resize(Twips(kClientWidthTwips), Twips(kClientHeightTwips));

    std::vector<QWidget*> focusable = MakeControls();
    LayOut();
    // The focus order follows the layout: top to bottom, then left to right.
    auto place = [this](QWidget* w) {
        const QPoint at = w->mapTo(this, QPoint(0, 0));
        return std::make_pair(at.y(), at.x());
    };
    std::stable_sort(focusable.begin(), focusable.end(),
                     [&](QWidget* a, QWidget* b) { return place(a) < place(b); });
    for (size_t i = 1; i < focusable.size(); ++i) setTabOrder(focusable[i - 1], focusable[i]);
    // The focus is shown from the start, not only once the keyboard has moved it.
    setAttribute(Qt::WA_KeyboardFocusChange);
    if (!focusable.empty()) focusable.front()->setFocus();

    lblTitle = Control<QLabel>("lblTitle");
    cmdAdd = Control<QPushButton>("cmdAdd");
    CmdAddFolder = Control<QPushButton>("CmdAddFolder");
    cmdClear1 = Control<QPushButton>("cmdClear1");
    lblCount1 = Control<QLabel>("lblCount1");
    grdFiles1 = Control<QTableWidget>("grdFiles1");
    Frame1 = Control<QGroupBox>("Frame1");
    OptEML = Control<QRadioButton>("OptEML");
    OptEMLX = Control<QRadioButton>("OptEMLX");
    OptPST = Control<QRadioButton>("OptPST");
    OptMSG = Control<QRadioButton>("OptMSG");
    ChkAllinOnePST = Control<QCheckBox>("ChkAllinOnePST");
    ChkByLabel = Control<QCheckBox>("ChkByLabel");
    CmdLabelMap = Control<QPushButton>("CmdLabelMap");
    Label1 = Control<QLabel>("Label1");
    LblProgessCurrent = Control<QLabel>("LblProgessCurrent");
    LblIMMFile = Control<QLabel>("LblIMMFile");
    LblProgress = Control<QLabel>("LblProgress");
    Image3 = Control<QLabel>("Image3");
    prgRun = Control<QProgressBar>("prgRun");
    CmdConvert = Control<QPushButton>("CmdConvert");
    Picture3 = Control<QWidget>("Picture3");
    CmdHelp = Control<QPushButton>("CmdHelp");
    cmdEnd = Control<QPushButton>("cmdEnd");

    StyleControls();

    // The share of the run's input read, over all mailboxes.
    prgRun->setRange(0, 1000);
    prgRun->setValue(0);

    options_ = new QButtonGroup(this);
    for (QRadioButton* option : {OptEML, OptEMLX, OptPST, OptMSG}) options_->addButton(option);

    fileList_ = std::make_unique<filelist::FileListGrid>(grdFiles1, lblCount1, pixelsPerTwip_);
    fileList_->SetChangedHandler([this] {
        // What the labels tell of the last run belongs to the list it ran over.
        if (!run_) ResetProgress();
        UpdateControls();
    });

    // The window grows as the user likes; the list takes the height. It shrinks until
    // the list shows two rows and the gaps below it are nearly closed.
    const int listRows = grdFiles1->verticalHeader()->defaultSectionSize();
    listLeast_ = grdFiles1->horizontalHeader()->sizeHint().height() + 2 * listRows + 2 * grdFiles1->frameWidth();
    int gaps = 0;
    for (const Gap& gap : kGaps) gaps += gap.height;
    setMinimumSize(Twips(kClientWidthTwips), Twips(kClientHeightTwips) - (Twips(1575) - listLeast_) -
                                                 int(std::lround(kGapShare * Twips(gaps))));
    LayOut();
    FitCaptions(*this);

    // Esc stops the search of a folder being added.
    stopSearch_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopSearch_->setContext(Qt::WindowShortcut);
    stopSearch_->setEnabled(false);
    connect(stopSearch_, &QShortcut::activated, this, [this] { searchStopped_ = true; });
}

// The controls of the table, in their containers; those that take the focus, in order.
std::vector<QWidget*> frmStep1::MakeControls() {
    std::vector<QWidget*> focusable;
    for (const ControlRow& row : kControls) {
        QWidget* container = row.in ? Control<QWidget>(row.in) : this;
        const QString caption = row.caption ? Translated(row.caption) : Translated(kHeaderNotice);
        QWidget* w = nullptr;
        switch (row.kind) {
            case Kind::Band: w = new Band(container); break;
            case Kind::Label: {
                auto* label = new QLabel(caption, container);
                label->setTextFormat(Qt::PlainText);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                w = label;
                break;
            }
            case Kind::Button: w = new QPushButton(caption, container); break;
            case Kind::Grid: w = new QTableWidget(container); break;
            case Kind::Frame: w = new QGroupBox(caption, container); break;
            case Kind::Panel: w = new QWidget(container); break;
            case Kind::Option: w = new QRadioButton(caption, container); break;
            case Kind::Check: w = new QCheckBox(caption, container); break;
            case Kind::Image: w = new QLabel(container); break;
            case Kind::Progress: w = new QProgressBar(container); break;
        }
        w->setObjectName(QString::fromLatin1(row.name));
        if (w->focusPolicy() != Qt::NoFocus) focusable.push_back(w);
        // Enter presses a focused button, as Space does.
        if (auto* button = qobject_cast<QPushButton*>(w)) button->setAutoDefault(true);
    }
    return focusable;
}

// Looks and initial states beyond caption and place.
void frmStep1::StyleControls() {
    lblTitle->setFont(ControlFont(14.25, true));
    for (QLabel* head : {lblTitle, Control<QLabel>("lblNotice")}) {
        QPalette pal = head->palette();
        pal.setColor(QPalette::WindowText, Qt::black);
        pal.setColor(QPalette::Window, Qt::white);
        head->setPalette(pal);
        head->setAutoFillBackground(true);
    }
    Label1->setFont(ControlFont(8.25, true));
    QPalette readingPal = Label1->palette();
    readingPal.setColor(QPalette::WindowText, QColor(0, 64, 64));
    Label1->setPalette(readingPal);
    Image3->setPixmap(windowIcon().pixmap(Twips(240), Twips(240)));
    CmdConvert->setFont(ControlFont(14.25, false));
    CmdConvert->setEnabled(false);
    QPalette whitePal = Picture3->palette();
    whitePal.setColor(QPalette::Window, Qt::white);
    Picture3->setPalette(whitePal);
    Picture3->setAutoFillBackground(true);
    singleStoreWanted_ = Settings()->value(kSingleStoreKey, true).toBool();
    ChkAllinOnePST->setChecked(false);
    ChkAllinOnePST->setEnabled(false);
    ChkAllinOnePST->setToolTip(Translated("Selecting this option will allow you to create a single PST file for all MBOX files"));
    ChkByLabel->setToolTip(
        Translated("Each message goes to the folder its labels choose and keeps its unread and starred state"));
    CmdLabelMap->setToolTip(Translated(kLabelMapTip));
    OptPST->setToolTip(Translated(
        "A store larger than 50 GB is written in parts. Microsoft 365's PST import skips items over 150 MB "
        "(each is converted with a warning) and recommends stores of at most 20 GB: for it, convert with "
        "brimvault-convert --max-pst-size 20G"));
}

// The window in the middle of the screen, no larger than the screen leaves room for
// (its frame counted).
void frmStep1::CentreOnScreen() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    resize(std::max(minimumWidth(), std::min(width(), area.width() - kFrameRoom.width())),
           std::max(minimumHeight(), std::min(height(), area.height() - kFrameRoom.height())));
    move(area.center() - QPoint(width() / 2, height() / 2));
}

void frmStep1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayOut();
}

// Every control at its place in the table, moved and grown by what the window has
// beyond its first size (or closed up by what it lacks).
void frmStep1::LayOut() {
    if (!grdFiles1) return;
    const int dx = std::max(0, width() - Twips(kClientWidthTwips));
    const int dy = height() - Twips(kClientHeightTwips);
    const int listDy = std::max(dy, listLeast_ - Twips(1575));
    int gaps = 0;
    for (const Gap& gap : kGaps) gaps += gap.height;
    const double closed = std::min(kGapShare, double(listDy - dy) / Twips(gaps));
    // The frame's title and border take what the style says: its first option starts below.
    const int belowTitle = Frame1->contentsRect().top();
    for (const ControlRow& row : kControls) {
        QWidget* w = Control<QWidget>(row.name);
        int left = Twips(row.left), top = Twips(row.top), width = Twips(row.width), height = Twips(row.height);
        if (row.anchor & kWide) width += dx;
        if (row.anchor & kRight) left += dx;
        if (row.anchor & kCentred) left += dx / 2;
        if (row.anchor & kTall) height += listDy;
        if (row.anchor & kDown) {
            int above = 0;
            for (const Gap& gap : kGaps)
                if (gap.top < row.top) above += gap.height;
            top += listDy - int(std::lround(closed * Twips(above)));
        }
        if (w->objectName() == QLatin1String("Picture1")) top = std::max(top, belowTitle);
        w->setGeometry(left, top, width, height);
    }
}

void frmStep1::ConnectHandlers() {
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(CmdAddFolder, &QPushButton::clicked, this, [this] { CmdAddFolder_Click(); });
    connect(cmdClear1, &QPushButton::clicked, this, [this] { cmdClear1_Click(); });
    connect(CmdConvert, &QPushButton::clicked, this, [this] { CmdConvert_Click(); });
    connect(CmdHelp, &QPushButton::clicked, this, [this] { CmdHelp_Click(); });
    connect(cmdEnd, &QPushButton::clicked, this, [this] { cmdEnd_Click(); });
    connect(CmdLabelMap, &QPushButton::clicked, this, [this] { CmdLabelMap_Click(); });
    // The one-store check box counts only for .pst; its tick stays as the user left it,
    // also for the next start.
    connect(OptPST, &QRadioButton::toggled, this, [this] { UpdateControls(); });
    connect(ChkAllinOnePST, &QCheckBox::clicked, this, [this](bool checked) {
        singleStoreWanted_ = checked;
        Settings()->setValue(kSingleStoreKey, checked);
    });
}

void frmStep1::UpdateControls() {
    const bool idle = !run_ && !addingFolder_;
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdAdd, CmdAddFolder, cmdClear1, grdFiles1, Frame1, ChkByLabel, CmdLabelMap})
        w->setEnabled(idle);
    // The one-store box shows the user's choice while it counts, no tick while it does not.
    ChkAllinOnePST->setEnabled(idle && OptPST->isChecked());
    ChkAllinOnePST->setChecked(OptPST->isChecked() && singleStoreWanted_);
    CmdConvert->setEnabled(idle && !fileList_->IsEmpty());
}

void frmStep1::cmdAdd_Click() {
    filelist::AdderContext context{*fileList_, *prompts_, [] { QCoreApplication::processEvents(); },
                                   [this] { return closing_; }, folderSource_};
    filelist::AddChosenFiles(context);
}

void frmStep1::CmdAddFolder_Click() {
    filelist::AdderContext context{*fileList_, *prompts_, [] { QCoreApplication::processEvents(); },
                                   [this] { return closing_ || searchStopped_; }, folderSource_};
    QWidget* focused = focusWidget();
    addingFolder_ = true;
    searchStopped_ = false;
    stopSearch_->setEnabled(true);
    UpdateControls();
    filelist::AddFolder(context);
    stopSearch_->setEnabled(false);
    addingFolder_ = false;
    UpdateControls();
    if (focused && focused->isEnabled() && !closing_) focused->setFocus();
}

void frmStep1::cmdClear1_Click() { fileList_->ClearCommand(*prompts_); }

void frmStep1::CmdConvert_Click() {
    if (run_) return;
    conversion::RunOptions options;
    if (!AskRunOptions(options)) return;
    StartRun(std::move(options));
}

bool frmStep1::AskRunOptions(conversion::RunOptions& options) {
    using conversion::OutputKind;
    // An output kind must be chosen.
    if (OptEML->isChecked()) options.kind = OutputKind::Eml;
    else if (OptPST->isChecked()) options.kind = OutputKind::Pst;
    else if (OptEMLX->isChecked()) options.kind = OutputKind::Emlx;
    else if (OptMSG->isChecked()) options.kind = OutputKind::Msg;
    else {
        prompts_->message(Translated("Please select a option to convert file(s)."), filelist::kProgramTitle,
                          filelist::MessageIcon::Information);
        return false;
    }
    options.singleStore = options.kind == OutputKind::Pst && singleStoreWanted_;
    options.byLabel = ChkByLabel->isChecked();
    // The label map is read as it is now; one that cannot be read stops the run here.
    if (options.byLabel && !labelMapPath_.isEmpty() && !(options.labelMap = ReadLabelMap(labelMapPath_))) return false;
    // The destination.
    if (closing_) return false;
    options.destination = prompts_->chooseFolder(Translated("Choose Folder to Save...")).toStdString();
    if (options.destination.empty() || closing_) return false;
    // The list as it is now; it cannot change while the run is under way.
    for (const QString& path : fileList_->Paths()) options.inputs.push_back(path.toStdString());
    return !options.inputs.empty();
}

void frmStep1::StartRun(conversion::RunOptions options) {
    pstRun_ = options.kind == conversion::OutputKind::Pst;
    focusBeforeRun_ = focusWidget();
    ResetProgress();
    run_ = new RunThread(std::move(options), this);
    if (reportPath_.isEmpty())
        reportPath_ = QDir::temp().filePath(
            QStringLiteral("brimvault-report-%1.csv").arg(QCoreApplication::applicationPid()));
    QFile::remove(reportPath_);
    run_->ReportTo(reportPath_.toStdString());
    connect(run_, &RunThread::progressed, this, [this] { ShowRunProgress(); });
    connect(run_, &RunThread::done, this, [this] { RunEnded(); });
    UpdateControls();
    run_->Start();
}

void frmStep1::ShowRunProgress() {
    if (!run_) return;
    const RunThread::Progress p = run_->progress();
    if (p.mailboxIndex >= 0)
        SetLblProgessCurrent(Translated("Mailbox %1 (of %2) ").arg(p.mailboxIndex + 1).arg(p.mailboxCount));
    if (!p.fileName.isEmpty()) SetLblIMMFile(p.fileName);
    if (p.added > 0 || p.alreadyThere > 0) SetLblProgress(SavedText(p.added, p.alreadyThere));
    if (p.bytesTotal > 0) prgRun->setValue(int(std::min(p.bytesDone, p.bytesTotal) * 1000 / p.bytesTotal));
}

void frmStep1::RunEnded() {
    ShowRunProgress();
    // The run's thread has ended; its object goes once this signal is handled.
    RunThread* run = run_;
    // The label ends on what the run kept, and each file tells what became of it.
    const conversion::RunReport& r = run->report();
    SetLblProgress(SavedText(r.messagesConverted + r.itemsConverted, r.messagesAlreadyThere + r.itemsAlreadyThere));
    ShowResults(r);
    run_ = nullptr;
    run->deleteLater();
    ClearOptions();
    UpdateControls();
    if (focusBeforeRun_ && focusBeforeRun_->isEnabled() && !closing_) focusBeforeRun_->setFocus();
    // Once the window is closing, nobody is left to read a box.
    if (!closing_) ShowRunResult(run->report());
    Q_EMIT runFinished();
    if (closing_) close();
}

void frmStep1::ShowRunResult(const conversion::RunReport& report) {
    using filelist::MessageIcon;
    if (report.storeError()) {
        prompts_->message(StoreErrorBox(report), filelist::kProgramTitle, MessageIcon::Error);
        return;
    }
    if (report.stopped) return;
    // The box shows the summary; long lists (failures, warnings, messages per folder)
    // go into its details area.
    const CompletionBoxText box = CompletionBox(report, pstRun_);
    prompts_->message(box.lead, filelist::kProgramTitle, box.clean ? MessageIcon::Information : MessageIcon::Warning,
                      box.lists, CompletionActions(report));
}

std::optional<conversion::LabelMap> frmStep1::ReadLabelMap(const QString& path) {
    try {
        return conversion::LabelMap::Read(path.toStdString());
    } catch (const std::exception& e) {
        prompts_->message(Translated("The label map cannot be used:") + QStringLiteral("\r\n") + QString::fromStdString(e.what()),
                          filelist::kProgramTitle, filelist::MessageIcon::Exclamation);
        return std::nullopt;
    }
}

void frmStep1::CmdLabelMap_Click() {
    const QStringList chosen = prompts_->chooseFiles(Translated("Label maps (*.txt);;All files (*)"));
    if (chosen.isEmpty()) {
        // Nothing chosen while a map is in use: the user may want to go without it.
        if (!labelMapPath_.isEmpty() &&
            prompts_->ask(Translated("Sort without the label map %1?").arg(labelMapPath_), filelist::kProgramTitle))
            labelMapPath_.clear();
    } else if (ReadLabelMap(chosen.front())) {
        labelMapPath_ = chosen.front();
        ChkByLabel->setChecked(true);
    }
    CmdLabelMap->setToolTip(labelMapPath_.isEmpty() ? Translated(kLabelMapTip)
                                                    : Translated("Label map in use: %1").arg(labelMapPath_));
}

// The buttons of the completion box beside OK.
std::vector<filelist::BoxAction> frmStep1::CompletionActions(const conversion::RunReport& report) {
    std::vector<filelist::BoxAction> actions;
    const QString destination = QString::fromStdString(report.destination);
    actions.push_back({Translated("Open folder"), [this, destination] { prompts_->openExternal(destination); }});
    if (QFileInfo::exists(reportPath_)) actions.push_back({Translated("Save report..."), [this] { SaveReport(); }});
    return actions;
}

// The run's report, one row per message, card, event and input not converted, copied
// where the person says.
void frmStep1::SaveReport() {
    const QString to = prompts_->chooseSaveFile(Translated("Save report..."),
                                                QDir::home().filePath(QStringLiteral("Brimvault report.csv")),
                                                Translated("CSV files (*.csv)"));
    if (to.isEmpty()) return;
    QFile::remove(to);
    QFile from(reportPath_);
    if (!from.copy(to))
        prompts_->message(Translated("The report could not be saved: %1").arg(from.errorString()),
                          filelist::kProgramTitle, filelist::MessageIcon::Error);
}

void frmStep1::ResetProgress() {
    SetLblProgessCurrent(Translated("Mailbox  0 (of 0)"));
    SetLblIMMFile(QString());
    SetLblProgress(Translated("Saving :"));
    prgRun->setValue(0);
    fileList_->ClearResults();
}

QString frmStep1::SavedText(int64_t added, int64_t alreadyThere) {
    QString text = Translated("Saved %1 Email Messages...").arg(added);
    if (alreadyThere > 0) text += QLatin1Char(' ') + Translated("%1 already there").arg(alreadyThere);
    return text;
}

// The result column: for each listed file, what the run made of it.
void frmStep1::ShowResults(const conversion::RunReport& report) {
    const QStringList paths = fileList_->Paths();
    for (int row = 0; row < paths.size(); ++row) fileList_->SetResult(row, InputResultText(report, paths[row]));
}

// The manual shipped with the program, in a window of its own.
void frmStep1::CmdHelp_Click() {
    if (!help_) {
        // A window of its own, beside the main one: the main window's access keys stay its own.
        help_ = std::make_unique<QTextBrowser>();
        help_->setObjectName(QStringLiteral("frmHelp"));
        help_->setWindowTitle(Translated("Brimvault Converter Help"));
        help_->setOpenExternalLinks(true);
        help_->setSource(QUrl(QStringLiteral("qrc:/help/manual.html")));
        help_->setWindowIcon(windowIcon());
        help_->resize(std::min(Twips(9600), minimumWidth() + Twips(1800)), minimumHeight());
        help_->move(geometry().center() - help_->rect().center());
    }
    help_->show();
    help_->raise();
    help_->activateWindow();
}

void frmStep1::cmdEnd_Click() {
    if (run_ && !run_->finished()) {
        close();  // asks whether to stop the run
        return;
    }
    if (prompts_->ask(Translated("Are you sure you want to exit now?"), filelist::kProgramTitle)) close();
}

void frmStep1::closeEvent(QCloseEvent* event) {
    if (run_ && !run_->finished()) {
        // Stopping already, or the user wants the run to go on: the window stays.
        if (run_->stopRequested() ||
            !prompts_->ask(Translated("A conversion is running. Stop it and exit?"), filelist::kProgramTitle)) {
            event->ignore();
            return;
        }
        if (run_ && !run_->finished()) {
            // The run ends after the message in hand and finishes its stores and files;
            // RunEnded then closes the window.
            closing_ = true;
            run_->RequestStop();
            event->ignore();
            return;
        }
        // The run ended while the question was up: close now.
    }
    event->accept();
    EndOnClose();
}

void frmStep1::EndOnClose() {
    // A folder being searched stops at its next look at the window's events.
    closing_ = true;
    QCoreApplication::quit();
}

void frmStep1::ClearOptions() {
    // An exclusive group never lets its last button go; lift that for the moment.
    options_->setExclusive(false);
    for (QRadioButton* option : {OptEML, OptEMLX, OptPST, OptMSG}) option->setChecked(false);
    options_->setExclusive(true);
}

void frmStep1::SetLblProgessCurrent(const QString& text) { LblProgessCurrent->setText(text); }
void frmStep1::SetLblIMMFile(const QString& text) { LblIMMFile->setText(text); }
void frmStep1::SetLblProgress(const QString& text) { LblProgress->setText(text); }

}  // namespace bv::shell
