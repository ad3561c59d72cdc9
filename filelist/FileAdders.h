// The two ways of filling the input file list: chosen files (cmdAdd) and every file
// below a chosen folder (CmdAddFolder). A path already listed is not listed again; the
// message after adding says how many were there already.
#pragma once
#include <QString>
#include <functional>

#include "filelist/PathLogger.h"

namespace bv::filelist {

class FileListGrid;
class Prompts;

// Selections of more files than this are refused with "Please select only 10000 files
// at a time"; nothing of them is added.
constexpr int kMaxFilesAtOnce = 10000;

// The filters of the open dialog, the first one in force and showing every file. Only
// Windows matches names without a dot against "*.*"; elsewhere the first entry says "*"
// so that a mailbox without extension (such as "Inbox") can be chosen. Contacts and
// calendars of an export (.vcf, .ics) are inputs too, and so are the archives an
// export arrives in: the run reads the mailboxes inside them.
#define BV_ARCHIVE_FILTER ";;Archives (*.zip *.tar *.tgz *.tar.gz *.tar.bz2 *.tar.xz *.mbox.gz)"
#ifdef _WIN32
inline constexpr const char* kOpenFilters =
    "Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics)" BV_ARCHIVE_FILTER;
#else
inline constexpr const char* kOpenFilters =
    "Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics)" BV_ARCHIVE_FILTER;
#endif
#undef BV_ARCHIVE_FILTER

// What an adder needs from its window besides the list and the prompts.
struct AdderContext {
    FileListGrid& list;
    Prompts& prompts;
    // Lets the window handle its waiting events (once per call).
    std::function<void()> processEvents;
    // True once the user stopped the search (Esc) or the window is closing: the folder
    // adder then stops where it is and adds nothing.
    std::function<bool()> stopRequested;
    // The walker's view of the file system; the local one when empty.
    pathLogger::SourceFactory folderSource;
};

// Click of "Select Brimvault file(s)...".
void AddChosenFiles(AdderContext& context);

// Click of "Select folder having brimvault file(s)...". While the folder is searched,
// the count label tells how many files were found and the window's events are handled
// about every 50 ms.
void AddFolder(AdderContext& context);

// "N Files Added to List.", and how many were in the list already when any were.
QString AddedText(int added, int alreadyListed);

}  // namespace bv::filelist
