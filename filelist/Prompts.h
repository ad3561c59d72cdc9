// Everything the window asks of the user or hands to the desktop goes through Prompts:
// the file-open dialog, the folder picker, message boxes and questions, and opening a
// web address. The window program uses the native Qt dialogs (shell/NativePrompts);
// the window tests answer with a script.
#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace bv::filelist {

// The icon of a message box.
enum class MessageIcon { None, Information, Exclamation, Warning, Question, Error };

// The title of the program's message boxes.
inline const QString kProgramTitle = QStringLiteral("Brimvault Converter");

// A button of a message box beside OK: pressing it runs `run`, and the box stays up.
struct BoxAction {
    QString caption;
    std::function<void()> run;
};

class Prompts {
public:
    virtual ~Prompts() = default;

    // The multi-select open dialog. `filters` in QFileDialog's ";;" form. The chosen
    // paths as the dialog returns them; an empty list when cancelled.
    virtual QStringList chooseFiles(const QString& filters) = 0;
    // The folder picker: the chosen folder, or "" when cancelled.
    virtual QString chooseFolder(const QString& title) = 0;
    // A file to save as, `suggested` offered; empty when cancelled.
    virtual QString chooseSaveFile(const QString& title, const QString& suggested, const QString& filters) = 0;
    // A modal box with a single OK button. `details`, when not empty, goes into the
    // box's details area (long lists); the box itself always fits the screen.
    // `actions` are buttons beside OK, in order.
    virtual void message(const QString& text, const QString& title, MessageIcon icon, const QString& details,
                         const std::vector<BoxAction>& actions) = 0;
    void message(const QString& text, const QString& title, MessageIcon icon, const QString& details) {
        message(text, title, icon, details, {});
    }
    void message(const QString& text, const QString& title, MessageIcon icon) { message(text, title, icon, {}, {}); }
    // A modal Yes/No question with the question icon, Yes the default. True on Yes.
    virtual bool ask(const QString& text, const QString& title) = 0;
    // Hands a document or web address to the desktop; failures go unreported.
    virtual void openExternal(const QString& target) = 0;
};

}  // namespace bv::filelist
