// The two ways of filling the input file list: chosen files (cmdAdd) and every file
// below a chosen folder (CmdAddFolder).
#pragma once
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
// calendars of an export (.vcf, .ics) are inputs too.
#ifdef _WIN32
inline constexpr const char* kOpenFilters = "Brimvault Files (*.*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics)";
#else
inline constexpr const char* kOpenFilters = "Brimvault Files (*);;MBOX Files (*.mbox *.mbx);;Contacts and Calendars (*.vcf *.ics)";
#endif

// What an adder needs from its window besides the list and the prompts.
struct AdderContext {
    FileListGrid& list;
    Prompts& prompts;
    std::function<void(bool)> setConvertEnabled;
    // Lets the window handle its waiting events (once per call).
    std::function<void()> processEvents;
    // True once the window is closing: an adder then stops where it is.
    std::function<bool()> stopRequested;
    // The walker's view of the file system; the local one when empty.
    pathLogger::SourceFactory folderSource;
};

// Click of "Select Brimvault file(s)...".
void AddChosenFiles(AdderContext& context);

// Click of "Select folder having brimvault file(s)...".
void AddFolder(AdderContext& context);

}  // namespace bv::filelist
