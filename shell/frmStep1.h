// frmStep1: the program's one window. It owns its controls, lays them out from one
// table, and forwards every click to the file list, the adders or the conversion run.
#pragma once
#include <QWidget>
#include <memory>

#include "filelist/FileListGrid.h"
#include "filelist/PathLogger.h"
#include "filelist/Prompts.h"
#include "version.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QButtonGroup;
class QTableWidget;

namespace bv::shell {

// The help page that the Help button opens.
inline const QString kHelpPageAddress = QStringLiteral("https://github.com/brimvault/brimvault-converter#readme");
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

    // True from the moment the window closes: a run in progress then ends after the
    // message in hand, and the program quits when it has.
    bool closing() const { return closing_; }
    bool running() const { return running_; }

    // Sets OptEML, OptEMLX, OptPST and OptMSG to not selected.
    void ClearOptions();
    void SetConvertEnabled(bool enabled);
    void SetLblProgessCurrent(const QString& text);
    void SetLblIMMFile(const QString& text);
    void SetLblProgress(const QString& text);

    // How the folder adder sees the file system (the local one unless replaced).
    void SetFolderSource(filelist::pathLogger::SourceFactory source) { folderSource_ = std::move(source); }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void MeasureScreen();
    void CreateControls();
    void CentreOnScreen();
    void EndOnClose();
    void ConnectHandlers();

    void cmdAdd_Click();
    void CmdAddFolder_Click();
    void cmdClear1_Click();
    void CmdConvert_Click();
    // The run of one click of Convert: options from the controls, the destination
    // prompt, the run, and its completion or store error box.
    void RunConversion();
    void OutputKindChosen(bool pst);
    void CmdHelp_Click();
    void cmdEnd_Click();

    template <typename T>
    T* Control(const char* name) const;

    std::unique_ptr<filelist::Prompts> prompts_;
    std::unique_ptr<filelist::FileListGrid> fileList_;
    filelist::pathLogger::SourceFactory folderSource_;
    double pixelsPerTwip_ = 1.0 / 15.0;
    bool closing_ = false;
    bool running_ = false;

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
    QLabel* Label1 = nullptr;
    QLabel* LblProgessCurrent = nullptr;
    QLabel* LblIMMFile = nullptr;
    QLabel* LblProgress = nullptr;
    QLabel* Image3 = nullptr;
    QPushButton* CmdConvert = nullptr;
    QWidget* Picture3 = nullptr;
    QPushButton* CmdHelp = nullptr;
    QPushButton* cmdEnd = nullptr;
};

}  // namespace bv::shell
