// The prompts of the window program: the platform's own dialogs through Qt.
#pragma once
#include "filelist/Prompts.h"

class QWidget;

namespace bv::shell {

class NativePrompts : public filelist::Prompts {
public:
    explicit NativePrompts(QWidget* owner) : owner_(owner) {}

    QStringList chooseFiles(const QString& filters) override;
    QString chooseFolder(const QString& title) override;
    void message(const QString& text, const QString& title, filelist::MessageIcon icon) override;
    bool ask(const QString& text, const QString& title) override;
    void openExternal(const QString& target) override;

private:
    QWidget* owner_;
};

}  // namespace bv::shell
