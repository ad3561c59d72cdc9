// The prompts of the window program: the platform's own dialogs through Qt.
#pragma once
#include <memory>

#include "filelist/Prompts.h"

class QMessageBox;
class QWidget;

namespace bv::shell {

class NativePrompts : public filelist::Prompts {
public:
    explicit NativePrompts(QWidget* owner) : owner_(owner) {}

    QStringList chooseFiles(const QString& filters) override;
    QString chooseFolder(const QString& title) override;
    QString chooseSaveFile(const QString& title, const QString& suggested, const QString& filters) override;
    using Prompts::message;
    void message(const QString& text, const QString& title, filelist::MessageIcon icon, const QString& details,
                 const std::vector<filelist::BoxAction>& actions) override;
    bool ask(const QString& text, const QString& title) override;
    void openExternal(const QString& target) override;

    // The box of message(), shown but not yet run: modal, over `owner`, and cut to fit
    // the screen (the lines that do not fit go into its details area, which is
    // counted open). `actions` become buttons beside OK.
    static std::unique_ptr<QMessageBox> ShowMessageBox(const QString& text, const QString& title,
                                                       filelist::MessageIcon icon, const QString& details,
                                                       QWidget* owner,
                                                       const std::vector<filelist::BoxAction>& actions = {});
    // Runs a box of ShowMessageBox until OK or its close: an action button runs its
    // action and the box comes back.
    static void RunMessageBox(QMessageBox& box, const std::vector<filelist::BoxAction>& actions);

private:
    QWidget* owner_;
};

}  // namespace bv::shell
