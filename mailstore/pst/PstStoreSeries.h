// A store written in parts: "<name>.pst", "<name> (2).pst", "<name> (3).pst", ...,
// each a whole store with the same display name and top folders. Before a message
// would take the open part past the size limit, the part is finished and the next one
// opened; a message larger than the limit alone gets a part of its own.
//
// Messages are prepared for the series, not for a part: their named properties keep
// their names, and the part a message lands in gives them its own ids when the
// message is added, at every level of it (MessageNames).
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <system_error>
#include <vector>

#include "mailstore/pst/messaging/StoreHandles.h"
#include "mailstore/mapi/Message.h"
#include "mailstore/pst/StoreReadBack.h"
#include "mailstore/pst/messaging/IdentityTable.h"

namespace bv::mailstore::pst {

class NameToIdMap;
class Store;

class PstStoreSeries {
public:
    // Opens the first part that is not full yet: "<stem>.pst" or "<stem> (n).pst",
    // created when absent, otherwise opened and added to (a part of an earlier run that
    // is full already stays as it is). `maxSize`: the largest a part may grow, in
    // bytes; 0 for no limit. A stem whose last name is too long for the parts' file
    // names is shortened: its beginning and a digest of the whole name. Throws
    // MailStoreError; path() names the part.
    PstStoreSeries(std::string stem, std::string displayName, uint64_t maxSize);
    // The stem a series made with `stem` uses: `stem`, or its shortened form.
    static std::string FittingStem(const std::string& stem);
    // A part still open is finished, so what it holds stays readable.
    ~PstStoreSeries();
    PstStoreSeries(const PstStoreSeries&) = delete;
    PstStoreSeries& operator=(const PstStoreSeries&) = delete;

    // Adds a folder under the top folder of the open part and of every part after it
    // (keeps the one there when a part has it). Throws MailStoreError.
    void AddFolder(const std::string& name);
    // The same for a folder of contacts or appointments, of container class
    // `containerClass` ("IPF.Contact", "IPF.Appointment"). When a folder of that name
    // holds other items, the folder is "<name> (<what>)" instead. Returns the name
    // used. Throws MailStoreError.
    std::string AddItemFolder(const std::string& name, const std::string& containerClass, const std::string& what);
    // Turns a message into its store form. May run on any thread, also while another
    // thread adds messages.
    PreparedMessagePtr Prepare(const mapi::Message& message) const;
    // The same for a message not needed after: its values move (PrepareMessage).
    PreparedMessagePtr Prepare(mapi::Message&& message) const;
    // The same with a long text given apart (its property empty in `message`).
    PreparedMessagePtr Prepare(mapi::Message&& message, TextApart apart) const;
    // Stores a prepared message in the part it fits in, in `folder`: a folder added
    // with AddFolder, then the folders below it, found or made in that part. Returns ""
    // or, for a message that alone is larger than the limit, a warning. Throws
    // MailStoreError.
    std::string Add(const std::vector<std::string>& folder, PreparedMessagePtr message);
    // The same for a message that the store is to hold once (see
    // Store::AddMessageOnce): one that a part holds already is not added and makes
    // no folders; its categories join those of the one there (in another part than the
    // open one, when that part is opened again: by Close, or once many are waiting).
    struct Added {
        bool added = true;
        std::string warning;
    };
    // Where a message held already belongs now that it was met again: given the folder
    // it is in (names from the top down) and its categories before this copy came, the
    // folder it is to be in (made when missing); the folder it is in, or none, to leave
    // it there.
    using Refolder = std::function<std::vector<std::string>(const std::vector<std::string>& folder,
                                                            const std::vector<std::string>& categories)>;
    Added AddOnce(const std::vector<std::string>& folder, PreparedMessagePtr message, Refolder refolder = {});
    // Whether AddOnce would find the message in a part (and so make no folder for it).
    bool Holds(const PreparedMessage& message);
    // Finishes the open part, then adds the categories waiting for other parts to
    // them. A part that cannot be finished is not there; it is among TakeFailures(), as
    // is a part finished when the next one was opened and one that could not take its
    // categories (it stays as it was). Idempotent.
    void Close();

    struct PartFailure {
        std::string path;
        std::string reason;
        int64_t messagesLost = 0;  // the messages that were put into the part
        std::error_code system = {};  // the system's error underneath (a full disk)
    };
    // The parts that could not be finished since the last call.
    std::vector<PartFailure> TakeFailures() { return std::exchange(failures_, {}); }

    // What was written into each part, one entry per close (a part opened again to add
    // categories comes again: WrittenStore::Merge), since the last call.
    std::vector<WrittenStore> TakeWritten() { return std::exchange(written_, {}); }

    bool open() const { return part_ != nullptr; }
    // The number of the part open now (or last): 1 for "<name>.pst", 2 for "<name> (2).pst"...
    int partNumber() const { return number_; }
    // The part open now (or last).
    const std::string& path() const { return path_; }
    // The parts finished, in order, when the series has more than one; else none.
    std::vector<std::string> parts() const {
        return number_ > 1 ? partsDone_ : std::vector<std::string>{};
    }

private:
    void OpenPart();
    // Notes what a full part of an earlier run holds, so that it is not added again.
    void RememberHeld(const std::filesystem::path& file);
    std::string Place(const std::vector<std::string>& folder, PreparedMessagePtr message, bool once);
    void NextPart();
    // Finishes the open part; its identities are noted when another part follows.
    void ClosePart(bool anotherFollows);
    void NoteHeld(std::vector<Identity> identities);
    // Opens each finished part again, in place, and adds the waiting categories to the
    // messages it holds.
    void AddWaitingCategories();
    // Adds the categories to the message of `identity` in `part`, then moves it where
    // `refolder` says (when it is below a top folder of this run); false when the part
    // does not hold it.
    bool Relabel(Store& part, Identity identity, const std::vector<std::string>& categories,
                 const Refolder& refolder);
    bool Fits(uint64_t used) const;
    FolderId FolderIn(const std::vector<std::string>& folder);
    // Adds top folder `name` to the open part, of its container class.
    FolderId AddToPart(const std::string& name);

    std::string stem_;
    std::string displayName_;
    uint64_t maxSize_;
    std::unique_ptr<Store> part_;
    std::string path_;
    int number_ = 1;
    bool freshPart_ = true;    // the open part was created, not found
    int64_t messages_ = 0;     // put into the open part
    std::vector<std::string> folders_;  // the top folders, in order
    std::set<std::string> foldersLowered_;  // the same, their ASCII letters lowered
    std::map<std::string, std::string> folderClasses_;  // top folders of items other than mail -> class
    std::map<std::pair<FolderId, std::string>, FolderId> known_;  // folders of the open part
    // The ids messages are prepared with: the first part's map, then every name met.
    std::unique_ptr<NameToIdMap> names_;
    // Where messages prepared for the series keep what is too large to hold: the parts' folder.
    std::filesystem::path spoolDir_;
    uint8_t cryptMethod_ = 0;
    std::vector<std::string> partsDone_;
    std::vector<Identity> heldElsewhere_;  // identities of the messages of the other parts, sorted
    // Categories (and where the message belongs then) for messages of other parts than
    // the open one.
    struct Waiting {
        Identity identity;
        std::vector<std::string> categories;
        Refolder refolder;
    };
    std::vector<Waiting> waitingCategories_;
    size_t waitingBytes_ = 0;
    std::vector<PartFailure> failures_;
    std::vector<WrittenStore> written_;
};

}  // namespace bv::mailstore::pst
