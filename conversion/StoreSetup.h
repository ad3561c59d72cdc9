// The .pst store of a run: one for every mailbox, or one per mailbox. Opening it
// names it, adding a mailbox gives the mailbox's folder, closing finishes the file.
// With a size limit the store is written in parts: before a message would take a
// part past the limit, the part is finished and the next one opened, "<name>.pst",
// "<name> (2).pst", "<name> (3).pst", each with the same display name and folders.
#pragma once
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "conversion/LabelFolders.h"
#include "mailstore/pst/PstStore.h"

namespace bv::conversion {

enum class StoreScope { AllMailboxes, OneMailbox };

// The creation stamp "d.m.YY H.m.ss" of a local time: 6.12.26 8.37.05.
std::string CreationStamp(std::time_t when);

class RunStore {
public:
    // `maxSize`: the largest a part may grow, in bytes; 0 for no limit.
    explicit RunStore(uint64_t maxSize = 0) : maxSize_(maxSize) {}
    // A store still open is finished, so what it holds stays readable.
    ~RunStore();
    RunStore(const RunStore&) = delete;
    RunStore& operator=(const RunStore&) = delete;

    // Creates the store under `saveFolder` (which ends in a separator), or opens the
    // one already there and adds to it: "Brimvault<stamp>.pst" shown as
    // "Brimvault Mailbox : Created - <stamp>" for all mailboxes, "<mailbox>.pst"
    // shown as "<mailbox>" for one. Throws MailStoreError; path() names the file.
    void Open(StoreScope scope, const std::string& saveFolder, const std::string& mailboxName);
    // Adds the mailbox's folder under the store's top folder (keeps the one there
    // when the store already has it). Throws MailStoreError.
    void AddMailboxFolder(const std::string& name);
    // The same for a folder of contacts or appointments, of container class
    // `containerClass` ("IPF.Contact", "IPF.Appointment"). When a folder of that name
    // holds other items, the folder is "<name> (<what>)" instead. Returns the name
    // used. Throws MailStoreError.
    std::string AddItemFolder(const std::string& name, const std::string& containerClass, const std::string& what);
    // Stores a message prepared by store() in the mailbox folder `folder`, or in the
    // label folder `labelFolder` below it (found or made in the part the message goes
    // to), in the next part when it does not fit in this one. Returns "" or, for a
    // message that alone is larger than the limit (it then has a part of its own), a
    // warning. Throws MailStoreError.
    std::string Add(const std::string& folder, mailstore::pst::PreparedMessagePtr message,
                    const std::vector<std::string>& labelFolder = {});
    // Whether the message of the last Add was in the store already (and so not added).
    bool LastWasThere() const { return lastWasThere_; }
    // Finishes the part open now. False when it cannot be finished (the file is then
    // not there); the failure is among TakeFailures().
    bool Close();

    struct PartFailure {
        std::string path;
        std::string reason;
        int64_t messagesLost = 0;  // the messages that were put into the part
    };
    // The parts that could not be finished since the last call.
    std::vector<PartFailure> TakeFailures() { return std::move(failures_); }
    // Drops the parts finished while messages prepared for them could still be in
    // the making; call it once none are.
    void ReleaseFinishedParts() { finished_.clear(); }

    bool open() const { return store_ != nullptr; }
    // The number of the part open now: 1 for "<name>.pst", 2 for "<name> (2).pst"...
    int partNumber() const { return part_; }
    // The part open now; messages are prepared by it.
    const mailstore::pst::PstStore& store() const { return *store_; }
    const std::string& path() const { return path_; }
    // The parts finished, in order, when the store has more than one; else none.
    std::vector<std::string> parts() const { return part_ > 1 ? partsDone_ : std::vector<std::string>{}; }

private:
    // Opens part part_, or the first after it that is not full yet.
    void OpenPart();
    void NextPart();
    // Adds folder `name` under the top folder of the open part, of its container class.
    mailstore::pst::FolderId AddToStore(const std::string& name);
    // Whether a part whose blocks and pages take `used` bytes stays within the limit.
    bool Fits(uint64_t used) const;

    uint64_t maxSize_;
    std::unique_ptr<mailstore::pst::PstStore> store_;
    std::vector<std::unique_ptr<mailstore::pst::PstStore>> finished_;
    std::string stem_;         // the file's path without ".pst"
    std::string displayName_;
    std::string path_;         // of the part open now
    int part_ = 1;
    std::vector<std::string> folders_;  // the mailbox folders, in order
    std::map<std::string, std::string> folderClasses_;  // folders of items other than mail -> class
    std::vector<std::pair<std::string, mailstore::pst::FolderId>> folderIds_;  // in the open part
    std::unique_ptr<StoreLabelFolders> labelFolders_;  // of the open part
    uint64_t used_ = 0;         // estimated bytes of the open part's blocks and pages
    int64_t messages_ = 0;      // messages put into the open part
    bool freshPart_ = true;     // the open part was created, not found
    bool lastWasThere_ = false;
    std::vector<std::string> partsDone_;
    std::vector<PartFailure> failures_;
};

}  // namespace bv::conversion
