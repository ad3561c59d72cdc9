// frmStep1: the program's one window. It owns its controls, lays them out from one
// table, and forwards every click to the file list, the adders or the conversion run.
// The run works on a thread of its own (RunThread); while it is under way the list,
// its buttons, the options and Convert are disabled, and Exit or the close box asks
// whether to stop it.
#pragma once
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>
#include <optional>

#include "conversion/LabelMap.h"

#include "filelist/FileListGrid.h"
#include "filelist/PathLogger.h"
#include "filelist/Prompts.h"
#include "version.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QButtonGroup;
class QShortcut;
class QTableWidget;
class QTextBrowser;

namespace bv::conversion {
struct RunOptions;
struct RunReport;
}  // namespace bv::conversion

namespace bv::shell {

class RunThread;

// The line under the title in the head band.
inline const QString kHeaderNotice = QStringLiteral("Converts Brimvault MBOX backups to EML, EMLX, MSG and PST files");
inline const QString kWindowTitle = QStringLiteral("Brimvault Converter v" BV_VERSION_SHORT);

class frmStep1 : public QWidget {
    Q_OBJECT

public:
    // `prompts` answers the dialogs and message boxes; the native ones when null.
    explicit frmStep1(std::unique_ptr<filelist::Prompts> prompts = nullptr, QWidget* parent = nullptr);
    ~frmStep1() override;

    filelist::FileListGrid& fileList() { return *fileList_; }
    filelist::Prompts& prompts() { return *prompts_; }

    // Twips to pixels of this screen: 15 twips a pixel at 96 dpi.
    int Twips(int twips) const;
    double PixelsPerTwip() const { return pixelsPerTwip_; }

    // True from the moment the window closes, or the user chose to stop the run and
    // exit: the run then ends after the message in hand, and the window closes when it has.
    bool closing() const { return closing_; }
    // A conversion run is under way (its completion box may still be up).
    bool running() const { return run_ != nullptr; }

    // Sets OptEML, OptEMLX, OptPST and OptMSG to not selected.
    void ClearOptions();
    void SetLblProgessCurrent(const QString& text);
    void SetLblIMMFile(const QString& text);
    void SetLblProgress(const QString& text);

    // How the folder adder sees the file system (the local one unless replaced).
    void SetFolderSource(filelist::pathLogger::SourceFactory source) { folderSource_ = std::move(source); }

Q_SIGNALS:
    // A conversion run has ended and its box, if any, was closed.
    void runFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void MeasureScreen();
    void CreateControls();
    std::vector<QWidget*> MakeControls();
    void StyleControls();
    void CentreOnScreen();
    void LayOut();
    void EndOnClose();
    void ConnectHandlers();
    // Enables what may be used now: nothing of the list, the options or Convert while a
    // run is under way or a folder is searched; Convert only while the list holds a path.
    void UpdateControls();

    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void CmdConvert_Click();
    // Options from the controls and the destination prompt; false when the user
    // chose no output kind or no destination.
    bool AskRunOptions(conversion::RunOptions& options);
    void StartRun(conversion::RunOptions options);
    void ShowRunProgress();
    // The labels, the bar and the results column as before any run.
    void ResetProgress();
    static QString SavedText(int64_t added, int64_t alreadyThere);
    void ShowResults(const conversion::RunReport& report);
    void RunEnded();
    // The completion or store error box of a run that was not stopped.
    void ShowRunResult(const conversion::RunReport& report);
    // The completion box's buttons beside OK ("Open folder", ...).
    std::vector<filelist::BoxAction> CompletionActions(const conversion::RunReport& report);
    void SaveReport();
    // Chooses the label map (nothing chosen: asks whether to go without the one in use).
    void CmdLabelMap_Click();
    // The label map read from `path`; none, after telling the user why, when it cannot be used.
    std::optional<conversion::LabelMap> ReadLabelMap(const QString& path);
    void CmdHelp_Click();
    void cmdEnd_Click();

    template <typename T>
    T* Control(const char* name) const;

    std::unique_ptr<filelist::Prompts> prompts_;
    std::unique_ptr<filelist::FileListGrid> fileList_;
    filelist::pathLogger::SourceFactory folderSource_;
    double pixelsPerTwip_ = 1.0 / 15.0;
    bool closing_ = false;
    RunThread* run_ = nullptr;      // the run under way; a child of the window
    bool pstRun_ = false;           // the run writes .pst stores
    bool addingFolder_ = false;     // a folder is being searched
    bool singleStoreWanted_ = true;  // the one-store box's tick, kept for the next start
    int listLeast_ = 0;             // the file list's least height, pixels
    std::unique_ptr<QTextBrowser> help_;  // the manual, once shown
    bool searchStopped_ = false;    // Esc during that search
    QShortcut* stopSearch_ = nullptr;
    QWidget* focusBeforeRun_ = nullptr;

    QLabel* lblTitle = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* CmdAddFolder = nullptr;
    QPushButton* cmdClear1 = nullptr;
    QLabel* lblCount1 = nullptr;
    QTableWidget* grdFiles1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QRadioButton* OptEML = nullptr;
    QRadioButton* OptEMLX = nullptr;
    QRadioButton* OptPST = nullptr;
    QRadioButton* OptMSG = nullptr;
    QButtonGroup* options_ = nullptr;
    QCheckBox* ChkAllinOnePST = nullptr;
    QCheckBox* ChkByLabel = nullptr;  // sort messages into folders by their labels
    QPushButton* CmdLabelMap = nullptr;  // chooses the person's label map
    QString labelMapPath_;               // the label map chosen, empty for none
    // The report of the last run, written as it goes (a temporary file of this window's);
    // "Save report..." copies it.
    QString reportPath_;
    QLabel* Label1 = nullptr;
    QLabel* LblProgessCurrent = nullptr;
    QProgressBar* prgRun = nullptr;
    QLabel* LblIMMFile = nullptr;
    QLabel* LblProgress = nullptr;
    QLabel* Image3 = nullptr;
    QPushButton* CmdConvert = nullptr;
    QWidget* Picture3 = nullptr;
    QPushButton* CmdHelp = nullptr;
    QPushButton* cmdEnd = nullptr;
};

}  // namespace bv::shell
