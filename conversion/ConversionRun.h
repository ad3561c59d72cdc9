// The conversion run: every mailbox of a list cut into its messages, each delivered
// as an .eml, .emlx or .msg file or into a .pst store. The caller (the window,
// brimvault-convert, the tests) captures its options once, watches the run through
// an observer and formats the report the run returns.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "conversion/LabelMap.h"
#include "conversion/RunObserver.h"
#include "conversion/StoreReadBack.h"

namespace bv::conversion {

// The size Outlook opens a Unicode store up to by default: 50 GiB.
inline constexpr uint64_t kDefaultMaxPstSize = uint64_t(50) << 30;

// What a run does, fixed when it starts.
struct RunOptions {
    OutputKind kind = OutputKind::Eml;
    // .pst: one store for every mailbox (true) or one store per mailbox.
    bool singleStore = false;
    // The destination folder; the mailboxes' outputs and the stores go below it.
    std::string destination;
    // The mailbox files, in order. Empty entries (an empty list row) are passed over;
    // a file listed more than once (under any spelling of its path) is read once.
    std::vector<std::string> inputs;
    // Each message goes to the folder its labels choose, below the mailbox's folder,
    // and keeps its unread and starred state and its labels as categories.
    bool byLabel = false;
    // Sorting by labels: the person's own meanings of labels, over the built-in table.
    std::optional<LabelMap> labelMap;
    // .pst: the largest size of a store file in bytes; a store that would grow past
    // it is written in parts. 0 means no limit.
    uint64_t maxPstSize = kDefaultMaxPstSize;
};

struct RunReport {
    std::string destination;       // the destination folder, with its trailing separator
    bool stopped = false;          // ended early because StopRequested() turned true
    bool storeError = false;       // a store could not be opened: the run ended there
    bool diskFull = false;         // a write found the disk full: the run ended there
    std::string storeErrorReason;  // which store file and why, in plain words
    int mailboxesFound = 0;        // inputs that are mailboxes (first line a "From " separator)
    int mailboxesConverted = 0;    // mailboxes read to their end with every message written
    int mailboxesFailed = 0;
    int64_t messagesConverted = 0;
    int64_t messagesFailed = 0;
    int64_t messagesAlreadyThere = 0;  // held by the destination already, so not added again
    std::vector<Failure> failures;  // what was not converted, in the order it happened
    std::vector<Failure> warnings;  // messages converted with a loss, in order
    std::vector<std::string> storeParts;  // the files of stores written in parts, in order
    // Sorting by labels: label folder ("Work/Projects") -> messages converted into it,
    // over all mailboxes. Empty otherwise.
    std::map<std::string, int64_t> messagesPerFolder;
    // .pst: the stores written or added to, read back at the end of the run.
    ReadBackReport readBack;
    // Not one input was a mailbox (an empty list, a folder without files, only files
    // that are no mailboxes): nothing was converted, and that is no success.
    bool nothingToConvert() const { return mailboxesFound == 0 && !storeError && !stopped; }
    bool ok() const {
        return !storeError && !stopped && failures.empty() && !nothingToConvert() && readBack.asWritten();
    }
};

// Runs the conversion. Never throws.
RunReport RunConversion(const RunOptions& options, RunObserver& observer);

// The completion text of a finished run: the fixed success texts when nothing
// failed or was lost, "Nothing to convert" and what failed when no input was a
// mailbox, otherwise counts, the failures and the warnings (the first 20
// of each and a count of the rest). After a run sorting by labels it ends with the
// messages per folder (FolderCountsText) unless `withFolderCounts` is false. After a
// .pst run it ends with what reading the stores back found (ReadBackText).
std::string CompletionText(const RunReport& report, bool pstOutput, bool withFolderCounts = true);
// The messages per label folder as a table, one line per folder under a heading
// line, lines ended by `lineEnd`; "" when the run did not sort by labels.
std::string FolderCountsText(const RunReport& report, const char* lineEnd = "\r\n");
// The text shown when a store cannot be opened: the cause first, in plain words
// (`reason` names the store file and why), then that the run stopped there.
std::string StoreErrorText(const std::string& reason);
// The title of the store error's box.
inline constexpr const char* kStoreErrorTitle = "Outlook Error";

}  // namespace bv::conversion
