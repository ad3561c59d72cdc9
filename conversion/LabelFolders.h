// Where messages sorted by label go on disk, and how many went to each folder. (In a
// store, the store series makes the folders of the part a message lands in.)
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "conversion/Labels.h"
#include "mailstore/base/ThreadSync.h"

namespace bv::conversion {

// The folder on disk of each label folder below a mailbox's folder (LabelFolderOnDisk),
// made with its parents on first use and remembered for the next message. May be
// used from several threads at once.
class DiskLabelFolders {
public:
    // The folder's path, or nullopt when it cannot be made (the messages for it then
    // fail as a message fails whose folder is missing).
    std::optional<std::string> FolderFor(std::string_view mailboxFolder, const std::vector<std::string>& folder);

private:
    mailstore::base::Mutex mutex_;
    std::set<std::string> made_;
};

// Where a message sorted into `labelFolder` before, which kept `categories`, belongs
// when a copy of it with `labels` comes: the label folder the labels of both choose
// (the folder labels' precedence over the union), or none when that is where it is, or
// when it was not sorted by its labels (LabelsOfSorted).
std::optional<std::vector<std::string>> LabelFolderMetAgain(const std::vector<std::string>& labelFolder,
                                                            const std::vector<std::string>& categories,
                                                            const std::vector<std::string>& labels,
                                                            const LabelRules& rules = {});

// The folder as one text, segments joined with "/" ("Work/Projects"); a segment never
// holds "/" itself, so the text names the folder unambiguously.
std::string FolderPathText(const std::vector<std::string>& folder);

// Folder path -> messages as a table: a heading line, then one line per folder, the
// count right-aligned under "Messages", each line ended by "\n"; "" for no folders.
std::string FolderCountsTable(const std::map<std::string, int64_t>& counts);

// Messages per label folder, for the completion message and the command line.
class LabelFolderCounts {
public:
    void Add(const std::vector<std::string>& folder);
    // Folder path ("Work/Projects") -> messages, in folder order.
    const std::map<std::string, int64_t>& Counts() const { return counts_; }
    // One line per folder, the count right-aligned under "Messages":
    //   "Folder         Messages\nInbox                 12\n..."; "" when nothing was counted.
    std::string Table() const { return FolderCountsTable(counts_); }

private:
    std::map<std::string, int64_t> counts_;
};

}  // namespace bv::conversion
