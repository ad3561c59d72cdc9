#include "filelist/FileAdders.h"

#include <QApplication>
#include <QCursor>
#include <exception>
#include <new>

#include "conversion/PathHelpers.h"
#include "filelist/FileListGrid.h"
#include "filelist/Prompts.h"

namespace bv::filelist {

namespace {

// The busy pointer for as long as it lives, whatever way the scope is left.
class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

// An unexpected failure as the user sees it: error code, ":" and description.
QString FailureText(int code, const char* description) {
    return QString::number(code) + QLatin1Char(':') + QString::fromUtf8(description);
}

constexpr int kOutOfMemory = 7;
constexpr int kInternalError = 51;

}  // namespace

void AddChosenFiles(AdderContext& context) {
    try {
        const QStringList chosen = context.prompts.chooseFiles(QString::fromLatin1(kOpenFilters));
        if (chosen.isEmpty()) return;
        if (chosen.size() > kMaxFilesAtOnce) {
            context.prompts.message(QStringLiteral("Please select only ") + QString::number(kMaxFilesAtOnce) +
                                        QStringLiteral(" files at a time"),
                                    kProgramTitle, MessageIcon::Exclamation);
            return;
        }
        context.setConvertEnabled(true);
        for (const QString& path : chosen) context.list.AddFileToList(path);
    } catch (const std::bad_alloc&) {
        context.prompts.message(FailureText(kOutOfMemory, "Out of memory"), kProgramTitle, MessageIcon::Exclamation);
    } catch (const std::exception& e) {
        context.prompts.message(FailureText(kInternalError, e.what()), kProgramTitle, MessageIcon::Exclamation);
    }
}

namespace {

void AddFolderUnguarded(AdderContext& context) {
    QString folder = context.prompts.chooseFolder(QStringLiteral("Choose Source Folder..."));
    if (folder.isEmpty()) return;
    const std::string start = conversion::WithTrailingSeparator(folder.toStdString());

    std::shared_ptr<TextCollection> found;
    QString unreadable;
    int added = 0;
    {
        BusyPointer busy;
        {
            pathLogger walker(context.folderSource ? context.folderSource : MakeLocalFolderSource);
            walker.PathLogInit();
            walker.fullFileNamesOnly(true);
            try {
                walker.LogPath(start);
            } catch (const FolderReadError& e) {
                // What was found before the failing folder is still added.
                unreadable = QString::fromStdString(e.folder());
            }
            found = walker.fullFileNames();
            walker.Terminate();
        }
        for (const std::string& path : found->Items()) {
            if (context.processEvents) {
                context.processEvents();
                context.processEvents();
            }
            if (context.stopRequested && context.stopRequested()) return;
            context.list.AddFileToList(QString::fromStdString(path));
            ++added;
        }
    }

    context.setConvertEnabled(added > 0);
    QString text = QString::number(added) + QStringLiteral(" Files Added to List.");
    if (unreadable.isEmpty()) {
        context.prompts.message(text, kProgramTitle, MessageIcon::None);
    } else {
        text += QStringLiteral("\n\nThe folder ") + unreadable +
                QStringLiteral(" could not be read; the files found before it were added.");
        context.prompts.message(text, kProgramTitle, MessageIcon::Exclamation);
    }
}

}  // namespace

void AddFolder(AdderContext& context) {
    try {
        AddFolderUnguarded(context);
    } catch (const std::bad_alloc&) {
        context.prompts.message(FailureText(kOutOfMemory, "Out of memory"), kProgramTitle, MessageIcon::Exclamation);
    } catch (const std::exception& e) {
        context.prompts.message(FailureText(kInternalError, e.what()), kProgramTitle, MessageIcon::Exclamation);
    }
}

}  // namespace bv::filelist
