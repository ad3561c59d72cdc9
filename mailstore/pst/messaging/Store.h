// A Unicode .pst store opened for adding folders and messages: the face the rest of
// the program uses. A new store is written under a temporary name and renamed at
// Close; an existing one is added to in place and committed every few thousand
// messages or few seconds, so a run that is stopped loses at most what came after the
// last commit. The parts, each the one owner of its concern:
//   StoreFile       the file: opening, creating, finishing, abandoning; node I/O; when to commit
//   FolderTree      the folders: tree, names, counts, hierarchy tables
//   ContentsTables  the rows of the folders' contents tables
//   IdentityIndex   which messages the store holds, by identity
//   StoreRelabel    categories of messages met again, and moving them between folders
// Named properties get their ids from the store's NameToIdMap through MessageNames
// (MessageBuilder.h), at every level of a message.
#pragma once
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "mailstore/mapi/Message.h"
#include "mailstore/pst/StoreReadBack.h"
#include "mailstore/pst/messaging/ContentsTables.h"
#include "mailstore/pst/messaging/FolderTree.h"
#include "mailstore/pst/messaging/IdentityIndex.h"
#include "mailstore/pst/messaging/NameToIdMap.h"
#include "mailstore/pst/messaging/StoreFile.h"
#include "mailstore/pst/messaging/StoreHandles.h"
#include "mailstore/pst/messaging/StoreRelabel.h"

namespace bv::mailstore::pst {

struct BuiltMessage;

struct StoreOptions {
    uint8_t cryptMethod = NDB_CRYPT_PERMUTE;
};

class Store {
public:
    // Creates a new store at `path`, or opens the store already there and adds to it in
    // place. `displayName` names the message store of a new file. Throws
    // NotAStoreError (a file there that is no store that can be opened, left as it
    // is), StoreInUseError, IoError.
    static std::unique_ptr<Store> OpenOrCreate(const std::filesystem::path& path, const std::string& displayName,
                                               const StoreOptions& options = {});
    // An existing store opened for reading only (StoreReadBack.cpp): nothing can be
    // added to it and nothing of the file changes. Throws MailStoreError.
    static std::unique_ptr<Store> OpenForReading(const std::filesystem::path& path);
    ~Store();

    // "Top of Personal Folders" (the IPM subtree).
    FolderId IpmSubtree() const { return folders_.ipmSubtree; }
    // Adds a mail folder (container class IPF.Note) under `parent`; when a folder of
    // that name is already there, returns it.
    FolderId AddFolder(FolderId parent, const std::string& name);
    // The same for a folder of items of another kind: `containerClass` is its
    // PR_CONTAINER_CLASS ("IPF.Contact", "IPF.Appointment").
    FolderId AddFolderOfClass(FolderId parent, const std::string& name, const std::string& containerClass);
    std::optional<FolderId> FindFolder(FolderId parent, const std::string& name) const;
    // Number of messages in a folder (as its contents table says).
    uint32_t MessageCount(FolderId folder) const;
    // The names of the folders from the top (below the IPM subtree) down to `folder`;
    // empty for a folder outside the IPM subtree.
    std::vector<std::string> FolderPath(FolderId folder) const { return folders_.Path(folder); }

    // Stores `message` in the folder; its tables and counts are updated.
    void AddMessage(FolderId folder, const mapi::Message& message);
    // Does all of AddMessage that needs nothing of the store but what is fixed when it
    // is opened. Unlike the other calls it may run on any thread, also while another
    // thread adds messages; the prepared message is then added with the call below.
    PreparedMessagePtr Prepare(const mapi::Message& message) const;
    // The same for a message not needed after: its values move (PrepareMessage).
    PreparedMessagePtr Prepare(mapi::Message&& message) const;
    // Stores a message prepared by this store (or another); `message` is consumed.
    void AddMessage(FolderId folder, PreparedMessagePtr message);
    // Stores a prepared message unless the store holds it already (IdentityIndex): then
    // the categories it brings join those of the one there, and nothing is added.
    // Returns false when it was there.
    bool AddMessageOnce(FolderId folder, PreparedMessagePtr message);
    // Whether AddMessageOnce would find the message in the store.
    bool Holds(const PreparedMessage& message);

    // The identity of a message to be added (none without a search key), and those
    // the store holds (ascending), looked up once.
    static Identity IdentityOf(const PreparedMessage& message);
    std::vector<Identity> HeldIdentities() { return identities_.Held(); }
    // The stored message that is the same as one of `props`, and the identity it was
    // found by.
    using Match = IdentityIndex::Match;
    std::optional<Match> FindSame(const std::vector<PcProp>& props) { return identities_.FindSame(props); }

    // A message held already, met again (StoreRelabel).
    static std::vector<std::string> CategoriesOf(const PreparedMessage& message) {
        return StoreRelabel::CategoriesOf(message);
    }
    bool AddCategories(Identity identity, const std::vector<std::string>& categories);
    using HeldMessage = pst::HeldMessage;
    std::optional<HeldMessage> FindHeld(Identity identity);
    void MoveMessage(Nid message, FolderId to);

    // Writes the changed folders and the name-to-id map, then commits the file (see
    // Commit); the space of what the changes replaced is free for the next ones.
    void CommitNow() { Commit(); }
    // Finishes the file (maps, header) and, for a new store, gives it its name.
    // Idempotent. On failure the store is as Discard leaves it.
    void Close();
    // Leaves the store as the file was before it was opened: a new store is not made,
    // one added to in place stays as of its last commit.
    void Discard() { file_.Abandon(); }

    // The bytes of blocks and pages the file would reach if closed now, from above:
    // what the node database holds and will write, and the folders' tables written at
    // Close (FileSizeFor in StoreSize.h gives the file's size).
    uint64_t UsedBytes() const;
    uint8_t CryptMethod() const { return file_.CryptMethod(); }
    // The store's name-to-ID map; a series of stores starts its own from it.
    NameToIdMap& Names() { return *names_; }

    // The store read back and compared with `written` (see ReadBackStore).
    StoreReadBack ReadBack(const WrittenStore* written);
    // What this object wrote into the file, as its Close left it (folders' items and
    // the items added); empty before a Close.
    WrittenStore TakeWritten() { return std::exchange(written_, {}); }

private:
    Store() = default;
    // The mandatory nodes of a new file ([MS-PST] §2.7.1).
    void CreateNew(const std::string& displayName);
    // The store's nodes, name map, template columns and folders, read from the file.
    void LoadExisting();
    StoreFolder& MessageFolder(FolderId id);  // a folder that can take messages
    StoreFolder& OpenFolder(FolderId id, const char* what);  // throws when closed
    Nid AddBuilt(StoreFolder& folder, BuiltMessage&& built);
    // Writes the changed folders and the name-to-id map (and the identity index when
    // `closing` or it is due), then commits the file.
    void Commit(bool closing = false);
    // An item added (StoreReadBack.cpp): noted for the read back; and at Close, the
    // folders' items with them in written_.
    void NoteWritten(Nid nid, const std::vector<PcProp>& props);
    void RecordWritten();

    StoreFile file_;
    FolderTree folders_{file_};
    ContentsTables contents_{file_, folders_};
    IdentityIndex identities_{file_, folders_};
    // Named properties' ids; Prepare (on worker threads) adds to it, hence the pointer.
    std::unique_ptr<NameToIdMap> names_;
    // Where messages prepared for this store keep what is too large to hold: its folder.
    std::filesystem::path spoolDir_;
    StoreRelabel relabel_{file_, folders_, contents_, identities_, names_};
    Bytes recordKey_;
    WrittenStore written_;
};

}  // namespace bv::mailstore::pst
