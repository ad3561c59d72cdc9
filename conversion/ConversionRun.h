// The conversion run: every mailbox of a list cut into its messages, each delivered
// as an .eml, .emlx or .msg file or into a .pst store. The caller (the window,
// brimvault-convert, the tests) captures its options once, watches the run through
// an observer and words the report the run returns.
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

// What became of one listed input (an archive: of all its members).
struct InputResult {
    bool reached = false;     // the run read it (or began to)
    bool passedOver = false;  // contacts or calendars in an .eml / .emlx run
    int64_t converted = 0;    // messages, contacts, events and tasks
    int64_t alreadyThere = 0;
    int64_t failed = 0;
    std::string problem;      // the first failure that names it, "" when none
};

struct RunReport {
    std::string destination;       // the destination folder, with its trailing separator
    bool stopped = false;          // ended early because StopRequested() turned true
    // The failure that ended the run before the end of its list, as it stands in
    // `failures`: a full disk, a store that could not be opened or a destination that
    // takes no file. None when the run went on to the end (or was stopped).
    std::optional<Failure> endedBy;
    bool diskFull() const { return endedBy && endedBy->kind == FailureKind::DiskFull; }
    // A store could not be opened (nor, for it, the destination): the run ended there.
    bool storeError() const { return endedBy && endedBy->kind != FailureKind::DiskFull; }
    // Inputs with something to convert: mailboxes (first line a "From " separator),
    // contacts and calendar files.
    int inputsFound = 0;
    int mailboxesConverted = 0;    // mailboxes read to their end with every message written
    int mailboxesFailed = 0;       // mailboxes, and listed files that are none, not converted whole
    int itemFilesConverted = 0;    // contacts and calendar files read to their end, every item written
    int itemFilesFailed = 0;
    int inputsNotReached = 0;      // listed inputs a stop, a full disk or a store error left unread
    int64_t messagesConverted = 0;
    int64_t messagesFailed = 0;
    int64_t messagesAlreadyThere = 0;  // held by the destination already, so not added again
    // Contacts, events and tasks, counted as the messages are.
    int64_t itemsConverted = 0;
    int64_t itemsFailed = 0;
    int64_t itemsAlreadyThere = 0;
    std::vector<Failure> failures;  // what was not converted, in the order it happened
    std::vector<Failure> warnings;  // messages converted with a loss, in order
    // Inputs passed over on purpose (contacts and calendars in an .eml / .emlx run):
    // nothing the run was asked for is missing.
    std::vector<Failure> notes;
    std::vector<std::string> storeParts;  // the files of stores written in parts, in order
    // .pst: the store files written into (their first parts), in order, and those of
    // them that an earlier run had made and this one added to.
    std::vector<std::string> storeFiles;
    std::vector<std::string> storesAddedTo;
    // Listed input (as listed, outer spaces trimmed) -> what became of it.
    std::map<std::string, InputResult> inputResults;
    // Sorting by labels: label folder ("Work/Projects") -> messages converted into it,
    // over all mailboxes. Empty otherwise.
    std::map<std::string, int64_t> messagesPerFolder;
    // .pst: the stores written or added to, read back at the end of the run.
    ReadBackReport readBack;
    // Not one input was a mailbox (an empty list, a folder without files, only files
    // that are no mailboxes): nothing was converted, and that is no success.
    bool nothingToConvert() const { return inputsFound == 0 && !storeError() && !stopped; }
    bool ok() const {
        return !storeError() && !stopped && failures.empty() && !nothingToConvert() && readBack.asWritten();
    }
};

// Runs the conversion. Never throws. The report says what became of each input;
// summary/RunSummary words it.
RunReport RunConversion(const RunOptions& options, RunObserver& observer);

}  // namespace bv::conversion
