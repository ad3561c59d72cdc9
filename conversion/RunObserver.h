// What the run's caller and the run's parts share: the output kinds, a failure as the
// run reports it, and the observer that follows the run.
#pragma once
#include <cstdint>
#include <string>

namespace bv::conversion {

enum class OutputKind { Eml, Emlx, Msg, Pst };

// What became of one input item (a message, card or event), or of an input file that
// was not converted.
struct ItemOutcome {
    enum class Result { Converted, AlreadyThere, ConvertedWithWarning, Failed, FileNotConverted };
    Result result = Result::Converted;
    std::string input;   // the file, or the archive's path followed by the member's
    int64_t number = 0;  // from 1 within the input; 0 for the input file itself
    int64_t offset = -1;  // where a message begins in its mailbox, in bytes; -1: not known
    int64_t line = 0;     // the line a card or event begins on; 0: not known
    // From the item's header (a message's Message-ID, Date, From and Subject fields,
    // decoded); "" when it has none or was not read.
    std::string messageId, date, sender, subject;
    std::string reason;       // why it failed, or what the warning says
    std::string destination;  // the file written (or held already), or the store file
    std::string folder;       // in a store: the folder's path, "/" between names
};

// Told what the run is doing. Every call comes on the run's thread.
class RunObserver {
public:
    virtual ~RunObserver() = default;
    // Mailbox `index` (from 0) of `count` begins; `fileName` is its file's name, ""
    // for an empty entry.
    virtual void MailboxStarted(int index, int count, const std::string& fileName) {}
    // Message `number` (from 1) of the current mailbox has been handed to its output.
    virtual void MessageWritten(int32_t number) {}
    // A message (or contact, event, task) handed over has reached its place: `added`,
    // or the destination held it already.
    virtual void MessageSettled(bool added) {}
    // Share of the run's input read so far: `done` of `total` bytes over all mailboxes.
    // Comes on the run's thread, at most about every 50 ms and once at the end.
    virtual void BytesRead(uint64_t done, uint64_t total) {}
    // Whether the observer takes ItemDone: the run then reads what the report names of
    // each item (its header fields), which it does not otherwise.
    virtual bool WantsItems() const { return false; }
    // What became of an item or an input file, in the order of the inputs.
    virtual void ItemDone(const ItemOutcome& outcome) {}
    // True ends the run after the message in hand; open stores are closed.
    virtual bool StopRequested() const { return false; }
};

// Tells `observer`, when it wants items, that the input file `input` (or archive
// member) was not converted, or not to its end, and why.
inline void TellNotConverted(RunObserver& observer, const std::string& input, const std::string& reason) {
    if (!observer.WantsItems()) return;
    ItemOutcome o;
    o.result = ItemOutcome::Result::FileNotConverted;
    o.input = input;
    o.reason = reason;
    observer.ItemDone(o);
}

// What kind of thing went wrong: the run records each failure once, with its kind,
// and those who show the report word the kinds that end or colour the run.
enum class FailureKind {
    InputUnreadable,      // an input file, archive or archive member that cannot be read
    NotAMailbox,          // a listed file or member that is no mailbox (or an archive holding none)
    MessageFailed,        // a message, contact, event or task not converted
    OutputFolder,         // an output folder that cannot be made
    StoreError,           // a store that cannot be made, added to or finished
    DestinationUnusable,  // the destination takes no file: the run ends there
    DiskFull,             // a write found the disk full: the run ends there
};

struct Failure {
    std::string file;    // mailbox, message file or store concerned
    std::string reason;  // what went wrong, in words a user understands
    FailureKind kind = FailureKind::InputUnreadable;
};

}  // namespace bv::conversion
