// The writable .pst store behind PstStore: the mandatory nodes of a new file
// ([MS-PST] §2.7.1), folders kept in memory and written at each commit, messages and
// their contents table rows written to the file as they arrive. A new store is
// written under a temporary name and renamed at Close; an existing one is added to
// in place and committed every few thousand messages or few seconds, so a run that
// is stopped loses at most what came after the last commit.
#pragma once
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "mailstore/pst/PstStore.h"
#include "mailstore/pst/StoreReadBack.h"
#include "mailstore/pst/ltp/LtpNode.h"
#include "mailstore/pst/ltp/PropertyContext.h"
#include "mailstore/pst/messaging/IdentityTable.h"
#include "mailstore/pst/messaging/NameToIdMap.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/ndb/NodeDatabase.h"

namespace bv::mailstore::pst {

struct BuiltMessage;

struct StoreOptions {
    uint8_t cryptMethod = NDB_CRYPT_PERMUTE;
};

class Store : public PstStore {
public:
    static std::unique_ptr<Store> OpenOrCreate(const std::filesystem::path& path, const std::string& displayName,
                                               const StoreOptions& options = {});
    ~Store() override;

    FolderId IpmSubtree() const override { return ipmSubtree_; }
    FolderId AddFolder(FolderId parent, const std::string& name) override;
    FolderId AddFolderOfClass(FolderId parent, const std::string& name, const std::string& containerClass) override;
    std::optional<FolderId> FindFolder(FolderId parent, const std::string& name) const override;
    void AddMessage(FolderId folder, const mapi::Message& message) override;
    PreparedMessagePtr Prepare(const mapi::Message& message) const override;
    void AddMessage(FolderId folder, PreparedMessagePtr message) override;
    bool AddMessageOnce(FolderId folder, PreparedMessagePtr message) override;
    bool Holds(const PreparedMessage& message) override;
    void Close() override;
    // An existing store opened for reading only (StoreReadBack.cpp): nothing can be
    // added to it and nothing of the file changes. Throws MailStoreError.
    static std::unique_ptr<Store> OpenForReading(const std::filesystem::path& path);
    // The store read back and compared with `written` (see ReadBackStore).
    StoreReadBack ReadBack(const WrittenStore* written);
    // What this object wrote into the file, as its Close left it (folders' items and
    // the items added); empty before a Close.
    WrittenStore TakeWritten() { return std::exchange(written_, {}); }
    // Leaves the store as the file was before it was opened: a new store is not made,
    // one added to in place stays as of its last commit.
    void Discard() { Abandon(); }
    uint32_t MessageCount(FolderId folder) const override;

    FolderId DeletedItems() const { return wastebasket_; }
    // The file being written: the temporary file of a new store, else the store itself.
    const std::filesystem::path& TempPath() const { return temp_.empty() ? final_ : temp_; }

    uint64_t UsedBytes() const override;
    uint8_t CryptMethod() const { return cryptMethod_; }

    // Writes the changed folders and the name-to-id map, then commits the file (see
    // Commit); the space of what the changes replaced is free for the next ones.
    void CommitNow() { Commit(); }

    // The store's name-to-ID map; a series of stores starts its own from it.
    NameToIdMap& Names() { return *names_; }

    // The identity of a message to be added (none without a search key), and those
    // the store holds (ascending), looked up once (StoreIdentity.cpp).
    static Identity IdentityOf(const PreparedMessage& message);
    // The identity by what a message holds of its header, for messages the store held
    // before we indexed it (none without a Message-ID).
    static Identity HeaderIdentityOf(const std::vector<PcProp>& props);
    std::vector<Identity> HeldIdentities();
    // The stored message that is the same as one of `props`, and the identity it was
    // found by.
    struct Match {
        Identity identity;
        Nid nid = 0;
    };
    std::optional<Match> FindSame(const std::vector<PcProp>& props);

    // A message held already, met again (StoreRelabel.cpp). The categories of a
    // prepared message, in order; none when it has none.
    static std::vector<std::string> CategoriesOf(const PreparedMessage& message);
    // Adds the categories the message of `identity` lacks to it; false when the store
    // holds no message of that identity.
    bool AddCategories(Identity identity, const std::vector<std::string>& categories);
    // The message of `identity` the store holds: where it is, and its categories.
    struct HeldMessage {
        Nid nid = 0;
        FolderId folder = 0;
        std::vector<std::string> categories;
    };
    std::optional<HeldMessage> FindHeld(Identity identity);
    // The names of the folders from the top (below the IPM subtree) down to `folder`;
    // empty for a folder outside the IPM subtree.
    std::vector<std::string> FolderPath(FolderId folder) const;
    // Moves a stored message into folder `to`: out of its folder's contents table and
    // into that of `to`, its node's parent and both folders' counts changed with it.
    void MoveMessage(Nid message, FolderId to);

private:
    struct Folder {
        Nid nid = 0;
        Nid parent = 0;
        std::string name;
        std::string containerClass;
        bool search = false;
        bool isNew = true;
        bool dirty = true;
        std::vector<PcProp> keptProps;  // other PC properties of a folder read from the file
        std::vector<Nid> children;
        // The children by name, its ASCII letters lowered: a folder is found among
        // thousands at the cost of one.
        std::unordered_map<std::string, Nid> childByName;
        std::vector<uint32_t> contentsColumns;
        uint32_t rowCount = 0;
        // A contents table written whole (a new folder): its rows as they come.
        std::unique_ptr<TcStreamWriter> contents;
        // Changes to the contents table in the file, made at the next commit: only the
        // blocks they touch are written (StoreContents.cpp).
        struct RowEdit {
            enum Kind { Add, Replace, Remove } kind;
            Nid nid;
            std::vector<TcCell> cells;
        };
        std::vector<RowEdit> rowEdits;
        bool columnsRead = false;  // contentsColumns are those of the table in the file
        uint32_t unread = 0;
    };

    Store() = default;
    void CreateNew(const std::string& displayName);
    void LoadExisting();
    Folder& NewFolder(Nid nid, Nid parent, const std::string& name, const std::string& containerClass, bool search);
    Folder& GetFolder(FolderId id, const char* what);
    Folder& MessageFolder(FolderId id);  // a folder that can take messages
    const Folder* FindFolderById(FolderId id) const;
    // Enters `child` among the children of `parent`.
    void AddChild(Folder& parent, Nid child, const std::string& name);
    void MarkDirty(Nid nid);
    Nid AddBuilt(Folder& folder, const BuiltMessage& built);
    // Identities of the messages in the store (StoreIdentity.cpp): a digest of the
    // search key; none without one.
    static Identity IdentityOf(const std::vector<PcProp>& props);
    // Whether the stored message `nid` has the text body of `props`, to the words.
    bool SameBody(Nid nid, const std::vector<PcProp>& props);
    void LoadIdentities();
    // The identities as the last commit left them, kept in a node of their own so that
    // an opened store needs no pass over its messages; valid only while no block was
    // written after it (by us or any other writer).
    bool LoadIdentityIndex();
    void WriteIdentityIndex();
    // Adds the categories in `props` that the stored message `nid` lacks to it.
    void MergeCategories(Nid nid, const std::vector<PcProp>& props);
    // MergeCategories, then the message's size and contents row follow (RefreshStoredMessage).
    void MergeCategoriesAndRefresh(Nid nid, const std::vector<PcProp>& props);
    // The properties of a node's PC (a message, a folder, the store), long values too,
    // read from `subnodes` (its subnode tree, read when needed and not given);
    // `valueSubnodes` gets the subnodes that held them.
    std::vector<PcProp> ReadNodeProps(const NodeRef& ref, const std::vector<SLENTRY>* subnodes = nullptr,
                                      std::vector<Nid>* valueSubnodes = nullptr);
    void WriteFolder(Folder& f);
    uint32_t NextRowVersion();
    static const PcProp* KeptContentCount(const Folder& f);
    static int32_t ContentCount(const Folder& f);
    // Contents table (StoreContents.cpp). Rows are added, replaced and removed here
    // and reach the file at the next commit; rowCount follows the rows, the unread
    // count and the messages' nodes are the caller's. Moving a message to another
    // folder (MoveMessage): RemoveContentsRow(from, nid), InsertContentsRow(to, nid,
    // props), SetNode(nid) with the new parent (same trees), the unread counts moved
    // along. Each writes only the table blocks its row touches.
    std::vector<TcCell> ContentsCells(Folder& f, const std::vector<PcProp>& props);
    void AddContentsRow(Folder& f, Nid message, const std::vector<PcProp>& props);
    void ReplaceContentsRow(Folder& f, Nid message, const std::vector<PcProp>& props);
    void RemoveContentsRow(Folder& f, Nid message);
    // A row put in among the others (any NID), for a message moved into the folder.
    void InsertContentsRow(Folder& f, Nid message, const std::vector<PcProp>& props);
    void WriteContents(Folder& f);
    // A table written through a TcStreamWriter: its blocks and subnodes, then its node.
    void WriteStreamedTable(Nid tableNid, const TcStreamWriter::Result& table);
    // The changes in rowEdits made to the table in the file: in place (false when the
    // table is not one TcEditor changes), or by writing it anew.
    bool EditContents(Folder& f);
    void RewriteContents(Folder& f);
    // After a stored message's PC changed (categories merged): its PidTagMessageSize
    // follows its new bytes, and its contents row its new values.
    void RefreshStoredMessage(Nid nid);
    std::pair<Bid, Bid> WriteImage(const LtpNode& node);
    Bid WriteSubnodes(const std::vector<LtpSubnode>& subs);
    void WriteLtpNode(Nid nid, const LtpNode& node, Nid parent);
    void Abandon();
    // An item added (StoreReadBack.cpp): noted for the read back; and at Close, the
    // folders' items with them in written_.
    void NoteWritten(Nid nid, const std::vector<PcProp>& props);
    void RecordWritten();
    // Writes the changed folders and the name-to-id map (and the identity index when
    // `closing` or it is due), then commits the file.
    void Commit(bool closing = false);
    // Every 2000 messages or 3 seconds; the tests that stop runs on purpose make
    // commits more frequent through BV_PST_COMMIT_MESSAGES in the environment.
    static uint32_t CommitMessages();
    static constexpr std::chrono::seconds kCommitInterval{3};

    std::filesystem::path final_;
    std::filesystem::path temp_;
    std::unique_ptr<NodeDatabase> db_;
    uint8_t cryptMethod_ = NDB_CRYPT_PERMUTE;  // the file's; fixed once it is open
    bool closed_ = false;
    bool inPlace_ = false;  // an existing store, added to in place
    uint32_t sinceCommit_ = 0;
    std::chrono::steady_clock::time_point lastCommit_, lastIndexWrite_;
    Bytes recordKey_;
    Nid ipmSubtree_ = 0;
    Nid wastebasket_ = 0;
    Nid finder_ = 0;
    std::map<Nid, Folder> folders_;
    // The rows of the contents tables written as their rows come, not written yet.
    uint64_t streamedRows_ = 0;
    // Named properties' ids; Prepare (on worker threads) adds to it, hence the pointer.
    std::unique_ptr<NameToIdMap> names_;
    // Message identity -> NID, filled by LoadIdentities on the first AddMessageOnce.
    IdentityTable identities_;
    bool identitiesLoaded_ = false;
    // Messages added before the identities were loaded (the index does not have them).
    std::vector<std::pair<Identity, Nid>> addedBeforeLoading_;
    // Columns of the store's template tables (ours, or those of the store we opened).
    std::vector<uint32_t> hierarchyColumns_;
    std::vector<uint32_t> contentsColumns_;
    std::vector<uint32_t> assocColumns_;
    std::vector<uint32_t> searchColumns_;
    WrittenStore written_;
};

}  // namespace bv::mailstore::pst
