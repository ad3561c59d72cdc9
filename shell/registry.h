// What the program asks of the desktop shell: opening a document or web address, and
// the folder picker. Neither shows a message of its own.
#pragma once
#include <QString>

class QWidget;

namespace bv::shell {

// Hands `target` to the desktop (a web address opens in the default browser). An empty
// target opens nothing; a target that cannot be opened fails silently.
void ShellOpen(const QString& target);

// The platform's folder picker, modal to `owner`, with `title` above the folders. The
// chosen folder in native separators, without a final separator except for a root
// (C:\ or /); "" when the user cancels.
QString BrowseForFolder(QWidget* owner, const QString& title);

}  // namespace bv::shell
