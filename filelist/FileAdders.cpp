#include "filelist/FileAdders.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
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
        const QStringList chosen = context.prompts.chooseFiles(QCoreApplication::translate("filelist", kOpenFilters));
        if (chosen.isEmpty()) return;
        if (chosen.size() > kMaxFilesAtOnce) {
            context.prompts.message(QCoreApplication::translate("filelist", "Please select only %1 files at a time").arg(kMaxFilesAtOnce),
                                    kProgramTitle, MessageIcon::Exclamation);
            return;
        }
        const FileListGrid::Added added = context.list.AddFilesToList(chosen);
        if (added.alreadyListed > 0)
            context.prompts.message(AddedText(added.added, added.alreadyListed), kProgramTitle, MessageIcon::None);
    } catch (const std::bad_alloc&) {
        context.prompts.message(FailureText(kOutOfMemory, "Out of memory"), kProgramTitle, MessageIcon::Exclamation);
    } catch (const std::exception& e) {
        context.prompts.message(FailureText(kInternalError, e.what()), kProgramTitle, MessageIcon::Exclamation);
    }
}

namespace {

void AddFolderUnguarded(AdderContext& context) {
    QString folder = context.prompts.chooseFolder(QCoreApplication::translate("filelist", "Choose Source Folder..."));
    if (folder.isEmpty()) return;
    const std::string start = conversion::WithTrailingSeparator(folder.toStdString());

    std::shared_ptr<TextCollection> found;
    QString unreadable;
    bool stopped = false;
    FileListGrid::Added added;
    {
        BusyPointer busy;
        {
            pathLogger walker(context.folderSource ? context.folderSource : MakeLocalFolderSource);
            walker.PathLogInit();
            walker.fullFileNamesOnly(true);
            QElapsedTimer sinceShown;
            sinceShown.start();
            walker.SetProgress([&](int32_t filesFound) {
                if (sinceShown.elapsed() < 50) return true;
                sinceShown.restart();
                context.list.ShowSearching(filesFound);
                if (context.processEvents) context.processEvents();
                return !(context.stopRequested && context.stopRequested());
            });
            try {
                walker.LogPath(start);
            } catch (const FolderReadError& e) {
                // What was found before the failing folder is still added.
                unreadable = QString::fromStdString(e.folder());
            }
            stopped = walker.stopped();
            found = walker.fullFileNames();
            walker.Terminate();
        }
        context.list.ShowCount();
        if (stopped) return;  // stopped by the user: the list stays as it was
        QStringList paths;
        paths.reserve(qsizetype(found->Count()));
        for (const std::string& path : found->Items()) paths << QString::fromStdString(path);
        added = context.list.AddFilesToList(paths);
    }

    QString text = AddedText(added.added, added.alreadyListed);
    if (unreadable.isEmpty()) {
        context.prompts.message(text, kProgramTitle, MessageIcon::None);
    } else {
        text += QStringLiteral("\n\n") +
                QCoreApplication::translate("filelist", "The folder %1 could not be read; the files found before it were added.")
                    .arg(unreadable);
        context.prompts.message(text, kProgramTitle, MessageIcon::Exclamation);
    }
}

}  // namespace

QString AddedText(int added, int alreadyListed) {
    QString text = QCoreApplication::translate("filelist", "%1 Files Added to List.").arg(added);
    if (alreadyListed > 0)
        text += QStringLiteral("\n") + QCoreApplication::translate("filelist", "Already in the list: %1.").arg(alreadyListed);
    return text;
}

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
