// What the conversion run needs from its window: the output kind, the file rows, the
// labels, the folder prompt, message boxes and a way to let the window breathe.
// The window (frmStep1), brimvault-convert and the tests each implement it.
#pragma once
#include <string>

namespace bv::conversion {

enum class MessageIcon { None, Information, Exclamation, Warning, Question };

class RunHost {
public:
    virtual ~RunHost() = default;

    // Output kind: the four option buttons and the one-store check box, read afresh
    // at every decision.
    virtual bool optEML() const = 0;
    virtual bool optEMLX() const = 0;
    virtual bool optMSG() const = 0;
    virtual bool optPST() const = 0;
    virtual bool chkAllinOnePSTEnabled() const = 0;
    virtual bool chkAllinOnePSTTicked() const = 0;
    // Sets OptEML, OptEMLX, OptPST and OptMSG, in this order, to not selected.
    virtual void clearOptions() = 0;
    virtual void setConvertEnabled(bool enabled) = 0;

    // The input file list: rows from 0; the current cell is (row, column 0).
    virtual int rowCount() const = 0;
    // Makes (row, 0) the current cell; false when that row no longer exists.
    virtual bool setCurrentRow(int row) = 0;
    virtual std::string currentText() const = 0;

    // Labels.
    virtual void setLblProgessCurrent(const std::string& text) = 0;  // "Mailbox i (of n) "
    virtual void setLblIMMFile(const std::string& text) = 0;         // file being read
    virtual void setLblProgress(const std::string& text) = 0;        // "Saved n Email Messages..."

    // The destination prompt: a folder path, or "" when cancelled.
    virtual std::string browseForFolder(const std::string& title) = 0;
    // A modal message box with a single OK button.
    virtual void messageBox(const std::string& text, const std::string& title, MessageIcon icon) = 0;

    // Lets the window handle its waiting events. The run throttles its calls.
    virtual void yield() = 0;
    // True once the window was closed or the process was told to stop: the run then
    // finishes the message in hand, closes an open store and ends.
    virtual bool stopRequested() const = 0;
};

}  // namespace bv::conversion
