#include "shell/frmStep1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <cmath>
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
#include "shell/NativePrompts.h"

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

enum class Kind { Band, Label, Button, Grid, Frame, Panel, Option, Check, Image };

struct ControlRow {
    const char* name;
    Kind kind;
    const char* in;  // the container; the window when null
    const char* caption;
    int left, top, width, height;  // twips, relative to the container
    int tab;                       // place in the focus order; -1 for none
};

// The window's controls from the top down, in twips. Later rows lie above earlier ones.
const ControlRow kControls[] = {
    {"Shape2", Kind::Band, nullptr, "", 0, 0, 11415, 855, -1},
    {"lblTitle", Kind::Label, nullptr, "Brimvault Converter", 360, 120, 7695, 375, 24},
    {"lblNotice", Kind::Label, nullptr, nullptr /* kHeaderNotice */, 360, 480, 6135, 255, 23},
    {"cmdAdd", Kind::Button, nullptr, "Select Brimvault file(s)...", 240, 960, 2535, 375, 0},
    {"CmdAddFolder", Kind::Button, nullptr, "Select folder having brimvault file(s)...", 3000, 960, 3375, 375, 2},
    {"cmdClear1", Kind::Button, nullptr, "Clear file(s)...", 7440, 960, 1335, 375, 1},
    {"lblCount1", Kind::Label, nullptr, "0 files", 270, 1440, 8535, 255, 4},
    {"grdFiles1", Kind::Grid, nullptr, "", 240, 1680, 8535, 1575, 3},
    {"Frame1", Kind::Frame, nullptr, " I want to convert brimvault messages to...", 240, 3360, 8535, 1695, 16},
    {"Picture1", Kind::Panel, "Frame1", "", 120, 240, 8295, 1335, 17},
    {"OptEML", Kind::Option, "Picture1",
     "(.eml) files          -     (Supported by Outlook Express, Windows Mail, Windows Live Mail)", 0, 0, 8055, 255, 20},
    {"OptEMLX", Kind::Option, "Picture1", "(.emlx) files        -     (Supported by Mac OS X Tiger Mail)", 0, 360, 8295,
     255, 21},
    {"OptPST", Kind::Option, "Picture1", "(.pst) files          -     (Supported by MS Outlook, Outlook 2011 for Mac)", 0,
     720, 8055, 255, 19},
    {"OptMSG", Kind::Option, "Picture1",
     "(.msg) files         -     (Supported by MS Outlook, Document Management Software, Forensic Tools)", 0, 1080,
     8055, 255, 18},
    {"ChkAllinOnePST", Kind::Check, nullptr, "Create Single Outlook PST file for All files", 240, 5160, 8535, 255, 22},
    {"ChkByLabel", Kind::Check, nullptr, "Sort messages into folders by their labels", 4440, 5475, 4335, 255, 22},
    {"Label4", Kind::Label, nullptr, "Converting Messages...", 240, 5475, 1815, 255, 9},
    {"LblProgessCurrent", Kind::Label, nullptr, "Mailbox  0 (of 0)", 600, 5760, 8175, 255, 10},
    {"Label1", Kind::Label, nullptr, "Reading          :", 600, 6000, 1335, 255, 12},
    {"LblIMMFile", Kind::Label, nullptr, "", 1920, 6000, 6855, 255, 13},
    {"Image3", Kind::Image, nullptr, "", 600, 6255, 240, 240, -1},
    {"LblProgress", Kind::Label, nullptr, "Saving :", 960, 6255, 7815, 255, 14},
    {"CmdConvert", Kind::Button, nullptr, "Convert", 3120, 6720, 2775, 555, 5},
    {"Shape1", Kind::Band, nullptr, "", 0, 7440, 9015, 855, -1},
    {"Picture3", Kind::Panel, nullptr, "", 240, 7560, 8655, 495, 6},
    {"CmdHelp", Kind::Button, "Picture3", "&Help Manual", 0, 0, 1695, 375, 11},
    {"cmdEnd", Kind::Button, "Picture3", "E&xit", 7200, 0, 1335, 375, 7},
};

constexpr int kClientWidthTwips = 8985;
constexpr int kClientHeightTwips = 8055;

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

// The run's progress on the window's labels; the window's events are handled
// while the run works, and closing the window stops it.
class WindowProgress : public conversion::RunObserver {
public:
    explicit WindowProgress(frmStep1& window) : w_(window) {}

    void MailboxStarted(int index, int count, const std::string& fileName) override {
        w_.SetLblProgessCurrent(QStringLiteral("Mailbox %1 (of %2) ").arg(index + 1).arg(count));
        if (!fileName.empty()) w_.SetLblIMMFile(QString::fromStdString(fileName));
    }
    void MessageWritten(int32_t number) override {
        w_.SetLblProgress(QStringLiteral("Saved %1 Email Messages...").arg(number));
    }
    void Yield() override { QCoreApplication::processEvents(); }
    bool StopRequested() const override { return w_.closing(); }

private:
    frmStep1& w_;
};

}  // namespace

frmStep1::frmStep1(std::unique_ptr<filelist::Prompts> prompts, QWidget* parent)
    : QWidget(parent), prompts_(std::move(prompts)) {
    if (!prompts_) prompts_ = std::make_unique<NativePrompts>(this);
    MeasureScreen();
    CreateControls();
    CentreOnScreen();
    ConnectHandlers();
}

frmStep1::~frmStep1() = default;

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
    setFixedSize(Twips(kClientWidthTwips), Twips(kClientHeightTwips));
    setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowMinimizeButtonHint |
                    Qt::WindowCloseButtonHint) &
                   ~Qt::WindowMaximizeButtonHint);

    std::vector<std::pair<int, QWidget*>> focusOrder;
    for (const ControlRow& row : kControls) {
        QWidget* container = row.in ? Control<QWidget>(row.in) : this;
        const QString caption = row.caption ? QString::fromUtf8(row.caption) : kHeaderNotice;
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
        }
        w->setObjectName(QString::fromLatin1(row.name));
        w->setGeometry(Twips(row.left), Twips(row.top), Twips(row.width), Twips(row.height));
        if (row.tab >= 0 && w->focusPolicy() != Qt::NoFocus) focusOrder.emplace_back(row.tab, w);
    }
    std::stable_sort(focusOrder.begin(), focusOrder.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < focusOrder.size(); ++i) setTabOrder(focusOrder[i - 1].second, focusOrder[i].second);

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
    Label1 = Control<QLabel>("Label1");
    LblProgessCurrent = Control<QLabel>("LblProgessCurrent");
    LblIMMFile = Control<QLabel>("LblIMMFile");
    LblProgress = Control<QLabel>("LblProgress");
    Image3 = Control<QLabel>("Image3");
    CmdConvert = Control<QPushButton>("CmdConvert");
    Picture3 = Control<QWidget>("Picture3");
    CmdHelp = Control<QPushButton>("CmdHelp");
    cmdEnd = Control<QPushButton>("cmdEnd");

    // Looks and initial states beyond caption and place.
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
    ChkAllinOnePST->setChecked(true);
    ChkAllinOnePST->setEnabled(false);
    ChkAllinOnePST->setToolTip(
        QStringLiteral("Selecting this option will allow you to create a single PST file for all MBOX files"));
    ChkByLabel->setToolTip(QStringLiteral(
        "Each message goes to the folder its labels choose and keeps its unread and starred state"));

    options_ = new QButtonGroup(this);
    for (QRadioButton* option : {OptEML, OptEMLX, OptPST, OptMSG}) options_->addButton(option);

    fileList_ = std::make_unique<filelist::FileListGrid>(grdFiles1, lblCount1, pixelsPerTwip_);
}

// The list column at its width, and the window in the middle of the screen.
void frmStep1::CentreOnScreen() {
    fileList_->SetColWidth(0, filelist::FileListGrid::kColumnWidthTwips);
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void frmStep1::ConnectHandlers() {
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(CmdAddFolder, &QPushButton::clicked, this, [this] { CmdAddFolder_Click(); });
    connect(cmdClear1, &QPushButton::clicked, this, [this] { cmdClear1_Click(); });
    connect(CmdConvert, &QPushButton::clicked, this, [this] { CmdConvert_Click(); });
    connect(CmdHelp, &QPushButton::clicked, this, [this] { CmdHelp_Click(); });
    connect(cmdEnd, &QPushButton::clicked, this, [this] { cmdEnd_Click(); });
    for (QRadioButton* option : {OptEML, OptEMLX, OptMSG, OptPST}) {
        const bool pst = option == OptPST;
        connect(option, &QRadioButton::toggled, this, [this, pst](bool selected) {
            if (selected) OutputKindChosen(pst);
        });
    }
}

void frmStep1::cmdAdd_Click() {
    filelist::AdderContext context{*fileList_, *prompts_, [this](bool on) { SetConvertEnabled(on); },
                                   [] { QCoreApplication::processEvents(); }, [this] { return closing_; },
                                   folderSource_};
    filelist::AddChosenFiles(context);
}

void frmStep1::CmdAddFolder_Click() {
    filelist::AdderContext context{*fileList_, *prompts_, [this](bool on) { SetConvertEnabled(on); },
                                   [] { QCoreApplication::processEvents(); }, [this] { return closing_; },
                                   folderSource_};
    filelist::AddFolder(context);
}

void frmStep1::cmdClear1_Click() { fileList_->ClearCommand(*prompts_); }

void frmStep1::CmdConvert_Click() {
    if (running_) return;
    running_ = true;
    RunConversion();
    running_ = false;
    if (closing_) QCoreApplication::quit();
}

void frmStep1::RunConversion() {
    using conversion::OutputKind;
    // An output kind must be chosen.
    conversion::RunOptions options;
    if (OptEML->isChecked()) options.kind = OutputKind::Eml;
    else if (OptPST->isChecked()) options.kind = OutputKind::Pst;
    else if (OptEMLX->isChecked()) options.kind = OutputKind::Emlx;
    else if (OptMSG->isChecked()) options.kind = OutputKind::Msg;
    else {
        prompts_->message(QStringLiteral("Please select a option to convert file(s)."), filelist::kProgramTitle,
                          filelist::MessageIcon::Information);
        return;
    }
    options.singleStore = ChkAllinOnePST->isEnabled() && ChkAllinOnePST->isChecked();
    options.byLabel = ChkByLabel->isChecked();
    // The destination.
    if (closing_) return;
    options.destination = prompts_->chooseFolder(QStringLiteral("Choose Folder to Save...")).toStdString();
    if (options.destination.empty()) return;
    // The list as it is now: rows added or removed later do not change the run.
    for (int row = 0; row < fileList_->Rows(); ++row) {
        fileList_->SetRow(row);
        fileList_->SetCol(0);
        options.inputs.push_back(fileList_->Text().toStdString());
    }
    QCoreApplication::processEvents();
    SetConvertEnabled(false);

    WindowProgress progress(*this);
    const conversion::RunReport report = conversion::RunConversion(options, progress);

    if (!closing_) {  // once the window is gone, nobody is left to read a box
        if (report.storeError)
            prompts_->message(QString::fromStdString(conversion::StoreErrorText(report.storeErrorReason)),
                              QString::fromLatin1(conversion::kStoreErrorTitle), filelist::MessageIcon::Information);
        else if (!report.stopped)
            prompts_->message(
                QString::fromStdString(conversion::CompletionText(report, options.kind == OutputKind::Pst)),
                filelist::kProgramTitle,
                report.failures.empty() && report.warnings.empty() ? filelist::MessageIcon::Information : filelist::MessageIcon::Warning);
    }
    SetConvertEnabled(true);
    ClearOptions();
}

// The one-store check box counts only for .pst; its tick stays as the user left it.
void frmStep1::OutputKindChosen(bool pst) { ChkAllinOnePST->setEnabled(pst); }

void frmStep1::CmdHelp_Click() { prompts_->openExternal(kHelpPageAddress); }

void frmStep1::cmdEnd_Click() {
    if (prompts_->ask(QStringLiteral("Are you sure you want to exit now?"), filelist::kProgramTitle)) close();
}

void frmStep1::closeEvent(QCloseEvent* event) {
    event->accept();  // closing is never refused
    EndOnClose();
}

void frmStep1::EndOnClose() {
    // Ends the program without asking. A run in progress sees StopRequested(), finishes
    // the message in hand, closes its store and returns; CmdConvert_Click then quits.
    // An adder in its loop stops before the next row.
    closing_ = true;
    if (!running_) QCoreApplication::quit();
}

void frmStep1::ClearOptions() {
    // An exclusive group never lets its last button go; lift that for the moment.
    options_->setExclusive(false);
    for (QRadioButton* option : {OptEML, OptEMLX, OptPST, OptMSG}) option->setChecked(false);
    options_->setExclusive(true);
}

void frmStep1::SetConvertEnabled(bool enabled) { CmdConvert->setEnabled(enabled); }
void frmStep1::SetLblProgessCurrent(const QString& text) { LblProgessCurrent->setText(text); }
void frmStep1::SetLblIMMFile(const QString& text) { LblIMMFile->setText(text); }
void frmStep1::SetLblProgress(const QString& text) { LblProgress->setText(text); }

}  // namespace bv::shell
