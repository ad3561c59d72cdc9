// [MS-PST] §2.4 messaging layer, §2.6.3 (what changes when folders and messages are
// added) and §2.7.1 (the nodes a new file needs).
#include "mailstore/pst/messaging/Store.h"

#include <random>

#include "mailstore/pst/StoreErrors.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/Templates.h"

namespace bv::mailstore::pst {
namespace {

using namespace bv::mailstore::mapi;
namespace fs = std::filesystem;

constexpr Nid kSpamSearchUpdateQueue = MakeNid(NID_TYPE_SEARCH_UPDATE_QUEUE, NidIndexOf(kSpamSearchFolder));
constexpr Nid kSpamSearchContents = MakeNid(NID_TYPE_SEARCH_CONTENTS_TABLE, NidIndexOf(kSpamSearchFolder));
constexpr Nid kSpamSearchCriteria = MakeNid(NID_TYPE_SEARCH_CRITERIA_OBJECT, NidIndexOf(kSpamSearchFolder));
constexpr uint32_t PidTagPstPassword = 0x67FF0003;
constexpr int32_t kValidFolderMask = 0x1 | 0x8 | 0x80;  // IPM subtree, wastebasket, finder

Bytes RandomBytes(size_t n) {
    std::random_device rd;
    Bytes b(n);
    for (auto& x : b) x = uint8_t(rd());
    return b;
}

}  // namespace

void PreparedMessageDeleter::operator()(PreparedMessage* p) const { delete p; }

std::unique_ptr<Store> Store::OpenOrCreate(const fs::path& path, const std::string& displayName,
                                           const StoreOptions& options) {
    std::unique_ptr<Store> s(new Store());
    s->spoolDir_ = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code ec;
    try {
        if (fs::exists(path, ec)) {
            s->file_.OpenInPlace(path);
            try {
                s->LoadExisting();
            } catch (const MailStoreError& e) {
                throw NotAStoreError(path, e);
            }
        } else {
            s->file_.Create(path, options.cryptMethod);
            s->CreateNew(displayName);
        }
    } catch (...) {
        s->file_.Abandon();
        throw;
    }
    s->file_.Opened();
    return s;
}

Store::~Store() {
    try {
        Close();
    } catch (...) {
        // Destructors cannot report; Close() reports to callers that call it.
    }
}

void Store::CreateNew(const std::string& displayName) {
    NodeDatabase& db = file_.db();
    recordKey_ = RandomBytes(16);
    identities_.StartEmpty();
    folders_.columns = {HierarchyTableColumns(), ContentsTableColumns(), AssocContentsTableColumns(),
                        SearchContentsTableColumns()};
    // Folders in the order that gives them the NIDs of [MS-PST] §2.7.1.
    folders_.Add(NID_ROOT_FOLDER, NID_ROOT_FOLDER, "", "", false);
    folders_.ipmSubtree = db.AllocateNid(NID_TYPE_NORMAL_FOLDER);   // 0x8022
    folders_.finder = db.AllocateNid(NID_TYPE_NORMAL_FOLDER);       // 0x8042
    folders_.wastebasket = db.AllocateNid(NID_TYPE_NORMAL_FOLDER);  // 0x8062
    folders_.Add(folders_.ipmSubtree, NID_ROOT_FOLDER, "Top of Personal Folders", "", false);
    folders_.Add(folders_.finder, NID_ROOT_FOLDER, "Search Root", "", false);
    folders_.Add(kSpamSearchFolder, NID_ROOT_FOLDER, "SPAM Search Folder 2", "", true);
    folders_.Add(folders_.wastebasket, folders_.ipmSubtree, "Deleted Items", "IPF.Note", false);

    // Message store ([MS-PST] §2.4.3).
    std::vector<PcProp> store = {
        PropBinary(PR_RECORD_KEY, recordKey_),
        PropString(PR_DISPLAY_NAME, displayName),
        PropBinary(PidTagIpmSubTreeEntryId, MakeEntryId(recordKey_, folders_.ipmSubtree)),
        PropBinary(PidTagIpmWastebasketEntryId, MakeEntryId(recordKey_, folders_.wastebasket)),
        PropBinary(PidTagFinderEntryId, MakeEntryId(recordKey_, folders_.finder)),
        PropLong(PidTagValidFolderMask, kValidFolderMask),
        PropLong(PidTagPstPassword, 0),  // no password, written as Outlook writes it
    };
    file_.WriteLtpNode(NID_MESSAGE_STORE, BuildPropertyContext(store, LocalNids()), 0);
    // Name-to-ID map ([MS-PST] §2.4.7): written at Close, with the names messages brought.
    names_ = std::make_unique<NameToIdMap>(NameToIdMap::ForNewStore());
    // Search management ([MS-PST] §2.4.8.4): an empty queue, and the search activity list
    // naming the one search folder, as in Outlook's stores. No search domain object.
    db.SetNode(NID_SEARCH_MANAGEMENT_QUEUE, {0, 0, 0});
    Bytes activity;
    Append32(activity, kSpamSearchFolder);
    db.SetNode(NID_SEARCH_ACTIVITY_LIST, {db.WriteDataTree(activity.data(), activity.size(), nullptr), 0, 0});
    // Template tables.
    file_.WriteLtpNode(NID_HIERARCHY_TABLE_TEMPLATE, EmptyTable(HierarchyTableColumns()), 0);
    file_.WriteLtpNode(NID_CONTENTS_TABLE_TEMPLATE, EmptyTable(ContentsTableColumns()), 0);
    file_.WriteLtpNode(NID_ASSOC_CONTENTS_TABLE_TEMPLATE, EmptyTable(AssocContentsTableColumns()), 0);
    file_.WriteLtpNode(NID_SEARCH_CONTENTS_TABLE_TEMPLATE, EmptyTable(SearchContentsTableColumns()), 0);
    file_.WriteLtpNode(NID_RECIPIENT_TABLE, EmptyTable(RecipientTableColumns()), 0);
    file_.WriteLtpNode(NID_ATTACHMENT_TABLE, EmptyTable(AttachmentTableColumns()), 0);
    // The spam search folder's update queue, search criteria object (the single
    // property Outlook's stores hold there) and search contents table.
    db.SetNode(kSpamSearchUpdateQueue, {0, 0, 0});
    file_.WriteLtpNode(kSpamSearchCriteria, BuildPropertyContext({PropLong(0x660B0003, 0)}, LocalNids()), 0);
    file_.WriteLtpNode(kSpamSearchContents, EmptyTable(SearchContentsTableColumns()), 0);
}

void Store::LoadExisting() {
    NodeDatabase& db = file_.db();
    std::optional<NodeRef> storeNode = db.FindNode(NID_MESSAGE_STORE);
    if (!storeNode) FormatError("NBTENTRY", "nid", "the message store node 0x21 is missing");
    auto entryNid = [](const std::vector<PcProp>& props, uint32_t tag) -> Nid {
        for (const auto& p : props)
            if (TagOf(p) == tag && p.value.size() >= 24) return Get32(&p.value[20]);
        return 0;
    };
    std::vector<PcProp> store = file_.ReadNodeProps(*storeNode);
    for (const auto& p : store)
        if (TagOf(p) == PR_RECORD_KEY) recordKey_ = p.value;
    folders_.ipmSubtree = entryNid(store, PidTagIpmSubTreeEntryId);
    folders_.wastebasket = entryNid(store, PidTagIpmWastebasketEntryId);
    folders_.finder = entryNid(store, PidTagFinderEntryId);
    if (recordKey_.size() != 16) FormatError("message store", "PidTagRecordKey", "is missing");
    if (auto map = db.FindNode(NID_NAME_TO_ID_MAP))
        names_ = std::make_unique<NameToIdMap>(NameToIdMap::FromProperties(file_.ReadNodeProps(*map)));
    else
        names_ = std::make_unique<NameToIdMap>(NameToIdMap::ForNewStore());

    // New folders get the columns of this store's templates.
    auto templateColumns = [&db](Nid nid, const std::vector<uint32_t>& fallback) {
        std::optional<NodeRef> ref = db.FindNode(nid);
        if (!ref) return fallback;
        HeapReader heap(db.ReadDataTree(ref->bidData));
        TcRead tc = ReadTableContext(heap, [](Nid) { return std::vector<Bytes>(); });
        std::vector<uint32_t> cols;
        for (const auto& c : tc.cols) cols.push_back(c.tag);
        return cols;
    };
    folders_.columns = {templateColumns(NID_HIERARCHY_TABLE_TEMPLATE, HierarchyTableColumns()),
                        templateColumns(NID_CONTENTS_TABLE_TEMPLATE, ContentsTableColumns()),
                        templateColumns(NID_ASSOC_CONTENTS_TABLE_TEMPLATE, AssocContentsTableColumns()),
                        templateColumns(NID_SEARCH_CONTENTS_TABLE_TEMPLATE, SearchContentsTableColumns())};
    folders_.Load();
}

StoreFolder& Store::OpenFolder(FolderId id, const char* what) {
    if (file_.Closed())
        throw MailStoreError(std::string(what) + ": the store " + file_.path().string() + " is closed");
    return folders_.Get(id, what);
}

std::optional<FolderId> Store::FindFolder(FolderId parent, const std::string& name) const {
    return folders_.FindChild(parent, name);
}

FolderId Store::AddFolder(FolderId parent, const std::string& name) {
    return AddFolderOfClass(parent, name, "IPF.Note");
}

FolderId Store::AddFolderOfClass(FolderId parent, const std::string& nameIn, const std::string& containerClass) {
    const std::string name = StoredName(nameIn);
    StoreFolder& p = OpenFolder(parent, "AddFolder");
    if (p.search) throw MailStoreError("AddFolder: a search folder cannot hold folders");
    if (name.empty()) throw MailStoreError("AddFolder: a folder needs a name");
    if (auto existing = FindFolder(parent, name)) return *existing;
    Nid nid = file_.db().AllocateNid(NID_TYPE_NORMAL_FOLDER);
    folders_.Add(nid, parent, name, containerClass, false);
    return nid;
}

uint32_t Store::MessageCount(FolderId folder) const {
    const StoreFolder* f = folders_.Find(folder);
    return f ? f->rowCount : 0;
}

StoreFolder& Store::MessageFolder(FolderId id) {
    StoreFolder& folder = OpenFolder(id, "AddMessage");
    if (folder.search) throw MailStoreError("AddMessage: messages cannot be stored in a search folder");
    return folder;
}

void Store::AddMessage(FolderId folderId, const mapi::Message& message) {
    AddBuilt(MessageFolder(folderId), BuildMessage(message, names_.get(), spoolDir_));
}

PreparedMessagePtr Store::Prepare(const mapi::Message& message) const {
    return PreparedMessagePtr(new PreparedMessage(PrepareMessage(message, *names_, file_.CryptMethod(), spoolDir_)));
}

PreparedMessagePtr Store::Prepare(mapi::Message&& message) const {
    return PreparedMessagePtr(new PreparedMessage(PrepareMessage(std::move(message), *names_, file_.CryptMethod(), spoolDir_)));
}

void Store::AddMessage(FolderId folderId, PreparedMessagePtr message) {
    StoreFolder& folder = MessageFolder(folderId);
    if (!message) throw MailStoreError("AddMessage: no message");
    // Prepared against another map (another store, or this one before names came in
    // another order): the names get this store's ids here, on the thread that adds.
    FitToStore(*message, *names_, file_.CryptMethod());
    AddBuilt(folder, std::move(message->built));
}

bool Store::AddMessageOnce(FolderId folderId, PreparedMessagePtr message) {
    StoreFolder& folder = MessageFolder(folderId);
    if (!message) throw MailStoreError("AddMessage: no message");
    // The names get this store's ids first: the categories merged below are read by them.
    FitToStore(*message, *names_, file_.CryptMethod());
    if (std::optional<Match> same = identities_.FindSame(message->built.props)) {
        // The same message from another mailbox: one item, with the labels of both.
        relabel_.MergeCategories(same->nid, message->built.props);
        return false;
    }
    AddBuilt(folder, std::move(message->built));
    return true;
}

bool Store::Holds(const PreparedMessage& message) {
    if (file_.Closed()) return false;
    return identities_.FindSame(message.built.props).has_value();
}

Identity Store::IdentityOf(const PreparedMessage& message) { return IdentityIndex::IdentityOf(message.built.props); }

bool Store::AddCategories(Identity identity, const std::vector<std::string>& categories) {
    if (file_.Closed()) return false;
    return relabel_.AddCategories(identity, categories);
}

std::optional<HeldMessage> Store::FindHeld(Identity identity) {
    if (file_.Closed()) return std::nullopt;
    return relabel_.FindHeld(identity);
}

void Store::MoveMessage(Nid message, FolderId to) { relabel_.MoveMessage(message, MessageFolder(to)); }

uint64_t Store::UsedBytes() const {
    // Written at Close: each folder's PC and tables (about 1.2 KB for ours), and
    // the row index of each contents table.
    constexpr uint64_t kPerFolder = 2 * 1024;
    constexpr uint64_t kPerRow = 8;
    return file_.db().UsedBytes() + folders_.size() * kPerFolder + contents_.StreamedRows() * kPerRow;
}

Nid Store::AddBuilt(StoreFolder& folder, BuiltMessage&& built) {
    Nid nid = file_.db().AllocateNid(NID_TYPE_NORMAL_MESSAGE);
    file_.WriteLtpNode(nid, built.node, folder.nid);
    // The blocks, and the values made as they were written with what they are made
    // from (a message's text), go before the contents row is made.
    built.node = LtpNode();
    identities_.Added(IdentityIndex::IdentityOf(built.props), nid);
    contents_.Add(folder, nid, built.props);
    NoteWritten(nid, built.props);
    if (!(built.messageFlags & MSGFLAG_READ)) ++folder.unread;
    folders_.MarkDirty(folder.nid);
    if (file_.MessageAdded()) Commit();
    return nid;
}

void Store::Commit(bool closing) {
    const auto now = std::chrono::steady_clock::now();
    folders_.WriteChanged([this](StoreFolder& f) { contents_.Write(f); });
    NodeDatabase& db = file_.db();
    if (names_->Changed() || !db.FindNode(NID_NAME_TO_ID_MAP))
        file_.WriteLtpNode(NID_NAME_TO_ID_MAP, BuildPropertyContext(names_->Properties(), LocalNids()), 0);
    // Last of the blocks: valid while no block comes after it (StoreFile::IndexDue). One
    // that a commit left behind is written at the close, also when the close itself
    // writes nothing else (the last message came with a commit, or the identities were
    // read from the messages): the next run finds every message in it.
    if (identities_.Loaded() && !identities_.Current() && file_.IndexDue(closing, now)) {
        identities_.Write();
        file_.IndexWritten(now);
    }
    // A closing store looks up no more identities: they go before the trees and the
    // allocation map are built, so that the commit's memory does not come on top.
    if (closing) identities_.Release();
    file_.Commit();
}

void Store::Close() {
    if (file_.Closed()) return;
    try {
        Commit(true);
        file_.Finish();
        RecordWritten();
    } catch (...) {
        file_.Abandon();
        throw;
    }
}

}  // namespace bv::mailstore::pst
