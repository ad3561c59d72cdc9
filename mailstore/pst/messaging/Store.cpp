// [MS-PST] §2.4 messaging layer, §2.6.3 (what changes when folders and messages are
// added) and §2.7.1 (the nodes a new file needs).
#include "mailstore/pst/messaging/Store.h"

#include "mailstore/base/Ascii.h"
#include "mailstore/base/Utf8.h"
#include "mailstore/base/FreeMemory.h"
#include "mailstore/mapi/Utf16.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>
#include <set>

#include "mailstore/base/PlatformFile.h"
#include "mailstore/pst/ltp/TableContext.h"
#include "mailstore/pst/messaging/MessageBuilder.h"
#include "mailstore/pst/messaging/PropertyEncoding.h"
#include "mailstore/pst/messaging/Templates.h"

namespace bv::mailstore::pst {
namespace {

using namespace bv::mailstore::mapi;
namespace fs = std::filesystem;

constexpr Nid kSpamSearchFolder = 0x2223;  // "SPAM Search Folder 2" ([MS-PST] §2.7.3.4)
constexpr Nid kSpamSearchUpdateQueue = MakeNid(NID_TYPE_SEARCH_UPDATE_QUEUE, NidIndexOf(kSpamSearchFolder));
constexpr Nid kSpamSearchContents = MakeNid(NID_TYPE_SEARCH_CONTENTS_TABLE, NidIndexOf(kSpamSearchFolder));
constexpr Nid kSpamSearchCriteria = MakeNid(NID_TYPE_SEARCH_CRITERIA_OBJECT, NidIndexOf(kSpamSearchFolder));
constexpr uint32_t PidTagPstPassword = 0x67FF0003;
constexpr int32_t kValidFolderMask = 0x1 | 0x8 | 0x80;  // IPM subtree, wastebasket, finder

Nid Sibling(Nid folder, uint8_t type) { return MakeNid(type, NidIndexOf(folder)); }


Bytes RandomBytes(size_t n) {
    std::random_device rd;
    Bytes b(n);
    for (auto& x : b) x = uint8_t(rd());
    return b;
}

// Subnode NIDs of a folder or template node (only big values need them).
SubnodeNidSource LocalNids() {
    auto next = std::make_shared<uint32_t>(0x8001);
    return [next] { return MakeNid(NID_TYPE_LTP, (*next)++); };
}

LtpNode EmptyTable(const std::vector<uint32_t>& cols) {
    TcWriter tc(cols);
    return tc.Finish(LocalNids());
}

}  // namespace

namespace {

// Removes the temporary files of new stores that runs which no longer exist left in
// the store's folder (".NAME.pst.partial-PID" and ".NAME.pst.partial-PID-N", of any
// store: the one store of a run is named by the time the run started): a run that was
// killed cannot remove its own.
void RemoveStalePartials(const fs::path& dir) {
    constexpr std::string_view kMark = ".pst.partial-";
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const size_t mark = name.rfind(kMark);
        if (name.empty() || name[0] != '.' || mark == std::string::npos) continue;
        const std::string rest = name.substr(mark + kMark.size());
        size_t digits = 0;
        while (digits < rest.size() && std::isdigit(uint8_t(rest[digits]))) ++digits;
        if (digits == 0 || digits > 9 || (digits < rest.size() && rest[digits] != '-')) continue;
        const unsigned long pid = std::stoul(rest.substr(0, digits));
        if (pid == base::CurrentProcessId() || base::ProcessMayBeRunning(pid)) continue;  // that run is still going
        std::error_code removed;
        fs::remove(it->path(), removed);
    }
}

// The temporary name of a new store ".NAME.pst.partial-PID[-N]": as long a part of the
// store's own name as lets it fit the file system's 255 bytes, so that any store
// name that fits has a temporary name that fits too (the process id and N keep it
// apart from another's).
std::string TemporaryName(const std::string& fileName, unsigned n) {
    constexpr size_t kMaxName = 255;
    const std::string tail = ".partial-" + std::to_string(base::CurrentProcessId()) + (n ? "-" + std::to_string(n) : "");
    std::string stem = fileName;
    std::string ext;
    if (stem.size() >= 4 && base::EqualsNoCase(std::string_view(stem).substr(stem.size() - 4), ".pst")) {
        ext = stem.substr(stem.size() - 4);
        stem.resize(stem.size() - 4);
    }
    const size_t room = kMaxName - 1 - ext.size() - tail.size();
    if (stem.size() > room) stem = base::Utf8Prefix(stem, room);
    return "." + stem + ext + tail;
}

}  // namespace

std::unique_ptr<Store> Store::OpenOrCreate(const fs::path& path, const std::string& displayName,
                                           const StoreOptions& options) {
    std::unique_ptr<Store> s(new Store());
    s->final_ = path;
    fs::path dir = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    RemoveStalePartials(dir);
    std::error_code ec;
    bool exists = fs::exists(path, ec);
    try {
        if (exists) {
            // Check the header before opening the file for writing: a file that is no
            // store of ours is never touched.
            base::PlatformFile file("the store");
            file.Open(path, base::PlatformFile::Mode::ReadOnly);
            uint8_t raw[kHeaderSize] = {};
            const size_t got = file.ReadAt(0, raw, sizeof raw);
            file.Close();
            try {
                Header::Parse(raw, got);
            } catch (const MailStoreError& e) {
                throw NotAStoreError(path, e);
            }
            // Added to in place: each commit leaves a whole store (see NodeDatabase).
            s->inPlace_ = true;
            try {
                s->db_ = NodeDatabase::Open(path);
                s->db_->SetDurable(true);
                s->LoadExisting();
            } catch (const StoreInUseError&) {
                throw;
            } catch (const MailStoreError& e) {
                throw NotAStoreError(path, e);
            }
        } else {
            // A new store is written under a temporary name and renamed at Close, so no
            // half-written store ever stands under the final name. One temporary name
            // per store object: two stores opened for the same path in one process must
            // not write into each other's file.
            static std::atomic<unsigned> opened{0};
            unsigned n = opened++;
            const std::u8string name = path.filename().u8string();
            s->temp_ = dir / fs::u8path(TemporaryName(std::string(name.begin(), name.end()), n));
            s->db_ = NodeDatabase::Create(s->temp_, options.cryptMethod);
            s->CreateNew(displayName);
        }
        s->cryptMethod_ = s->db_->CryptMethod();
    } catch (...) {
        s->Abandon();
        throw;
    }
    s->lastCommit_ = s->lastIndexWrite_ = std::chrono::steady_clock::now();
    return s;
}

Store::~Store() {
    try {
        Close();
    } catch (...) {
        // Destructors cannot report; Close() reports to callers that call it.
    }
}

void Store::Abandon() {
    closed_ = true;
    // A store added to in place stays as of its last commit.
    if (db_ && inPlace_) db_->DropUncommitted();
    db_.reset();
    std::error_code ec;
    if (!temp_.empty()) fs::remove(temp_, ec);
}

std::pair<Bid, Bid> Store::WriteImage(const LtpNode& node) {
    Bid data = db_->WriteDataTree(node.blocks, node.crcs.empty() ? nullptr : &node.crcs);
    return {data, WriteSubnodes(node.subnodes)};
}

Bid Store::WriteSubnodes(const std::vector<LtpSubnode>& subs) {
    std::vector<SLENTRY> entries;
    entries.reserve(subs.size());
    for (const LtpSubnode& s : subs) {
        const std::vector<uint32_t>* crcs = s.crcs.empty() ? nullptr : &s.crcs;
        Bid d = s.blocks.empty() ? db_->WriteDataTree(s.data.data(), s.data.size(), crcs)
                                 : db_->WriteDataTree(s.blocks, crcs);
        entries.push_back({s.nid, d, WriteSubnodes(s.subnodes)});
    }
    return db_->WriteSubnodeTree(std::move(entries));
}

void Store::WriteLtpNode(Nid nid, const LtpNode& node, Nid parent) {
    auto [data, sub] = WriteImage(node);
    db_->SetNode(nid, {data, sub, parent});
}

Store::Folder& Store::NewFolder(Nid nid, Nid parent, const std::string& name, const std::string& containerClass,
                                bool search) {
    Folder& f = folders_[nid];
    f.nid = nid;
    f.parent = parent;
    f.name = name;
    f.containerClass = containerClass;
    f.search = search;
    f.contentsColumns = search ? searchColumns_ : contentsColumns_;
    if (nid != parent) {
        AddChild(folders_.at(parent), nid, name);
        MarkDirty(parent);
    }
    return f;
}

void Store::AddChild(Folder& parent, Nid child, const std::string& name) {
    parent.children.push_back(child);
    parent.childByName.emplace(base::AsciiLowered(name), child);  // the first of a name is the one found
}

void Store::MarkDirty(Nid nid) {
    // A folder's counts also show in its parent's hierarchy table.
    for (int depth = 0; depth < 2; ++depth) {
        auto it = folders_.find(nid);
        if (it == folders_.end()) return;
        it->second.dirty = true;
        if (it->second.parent == nid) return;
        nid = it->second.parent;
    }
}

void Store::CreateNew(const std::string& displayName) {
    recordKey_ = RandomBytes(16);
    identitiesLoaded_ = true;  // none yet: each message added is entered
    hierarchyColumns_ = HierarchyTableColumns();
    contentsColumns_ = ContentsTableColumns();
    assocColumns_ = AssocContentsTableColumns();
    searchColumns_ = SearchContentsTableColumns();
    // Folders in the order that gives them the NIDs of [MS-PST] §2.7.1.
    NewFolder(NID_ROOT_FOLDER, NID_ROOT_FOLDER, "", "", false);
    ipmSubtree_ = db_->AllocateNid(NID_TYPE_NORMAL_FOLDER);  // 0x8022
    finder_ = db_->AllocateNid(NID_TYPE_NORMAL_FOLDER);      // 0x8042
    wastebasket_ = db_->AllocateNid(NID_TYPE_NORMAL_FOLDER); // 0x8062
    NewFolder(ipmSubtree_, NID_ROOT_FOLDER, "Top of Personal Folders", "", false);
    NewFolder(finder_, NID_ROOT_FOLDER, "Search Root", "", false);
    NewFolder(kSpamSearchFolder, NID_ROOT_FOLDER, "SPAM Search Folder 2", "", true);
    NewFolder(wastebasket_, ipmSubtree_, "Deleted Items", "IPF.Note", false);

    // Message store ([MS-PST] §2.4.3).
    std::vector<PcProp> store = {
        PropBinary(PR_RECORD_KEY, recordKey_),
        PropString(PR_DISPLAY_NAME, displayName),
        PropBinary(PidTagIpmSubTreeEntryId, MakeEntryId(recordKey_, ipmSubtree_)),
        PropBinary(PidTagIpmWastebasketEntryId, MakeEntryId(recordKey_, wastebasket_)),
        PropBinary(PidTagFinderEntryId, MakeEntryId(recordKey_, finder_)),
        PropLong(PidTagValidFolderMask, kValidFolderMask),
        PropLong(PidTagPstPassword, 0),  // no password, written as Outlook writes it
    };
    WriteLtpNode(NID_MESSAGE_STORE, BuildPropertyContext(store, LocalNids()), 0);
    // Name-to-ID map ([MS-PST] §2.4.7): written at Close, with the names messages brought.
    names_ = std::make_unique<NameToIdMap>(NameToIdMap::ForNewStore());
    // Search management ([MS-PST] §2.4.8.4): an empty queue, and the search activity list
    // naming the one search folder, as in Outlook's stores. No search domain object.
    db_->SetNode(NID_SEARCH_MANAGEMENT_QUEUE, {0, 0, 0});
    Bytes activity;
    Append32(activity, kSpamSearchFolder);
    db_->SetNode(NID_SEARCH_ACTIVITY_LIST, {db_->WriteDataTree(activity.data(), activity.size(), nullptr), 0, 0});
    // Template tables.
    WriteLtpNode(NID_HIERARCHY_TABLE_TEMPLATE, EmptyTable(HierarchyTableColumns()), 0);
    WriteLtpNode(NID_CONTENTS_TABLE_TEMPLATE, EmptyTable(ContentsTableColumns()), 0);
    WriteLtpNode(NID_ASSOC_CONTENTS_TABLE_TEMPLATE, EmptyTable(AssocContentsTableColumns()), 0);
    WriteLtpNode(NID_SEARCH_CONTENTS_TABLE_TEMPLATE, EmptyTable(SearchContentsTableColumns()), 0);
    WriteLtpNode(NID_RECIPIENT_TABLE, EmptyTable(RecipientTableColumns()), 0);
    WriteLtpNode(NID_ATTACHMENT_TABLE, EmptyTable(AttachmentTableColumns()), 0);
    // The spam search folder's update queue, search criteria object (the single
    // property Outlook's stores hold there) and search contents table.
    db_->SetNode(kSpamSearchUpdateQueue, {0, 0, 0});
    WriteLtpNode(kSpamSearchCriteria, BuildPropertyContext({PropLong(0x660B0003, 0)}, LocalNids()), 0);
    WriteLtpNode(kSpamSearchContents, EmptyTable(SearchContentsTableColumns()), 0);
}

std::vector<PcProp> Store::ReadNodeProps(const NodeRef& ref, const std::vector<SLENTRY>* given,
                                         std::vector<Nid>* valueSubnodes) {
    std::optional<std::vector<SLENTRY>> read;  // the subnode tree, read at the first long value
    auto subnodeBytes = [&](Nid sub) {
        if (valueSubnodes) valueSubnodes->push_back(sub);
        if (!given && !read) read = db_->ReadSubnodeTree(ref.bidSub);
        for (const SLENTRY& e : given ? *given : *read)
            if (Nid(e.nid) == sub) {
                Bytes all;
                for (auto& b : db_->ReadDataTree(e.bidData)) all.insert(all.end(), b.begin(), b.end());
                return all;
            }
        FormatError("SLENTRY", "nid", "subnode " + std::to_string(sub) + " is missing");
    };
    HeapReader heap(db_->ReadDataTree(ref.bidData));
    return ReadPropertyContext(heap, subnodeBytes);
}

void Store::LoadExisting() {
    std::optional<NodeRef> storeNode = db_->FindNode(NID_MESSAGE_STORE);
    if (!storeNode) FormatError("NBTENTRY", "nid", "the message store node 0x21 is missing");
    auto entryNid = [](const std::vector<PcProp>& props, uint32_t tag) -> Nid {
        for (const auto& p : props)
            if (TagOf(p) == tag && p.value.size() >= 24) return Get32(&p.value[20]);
        return 0;
    };
    std::vector<PcProp> store = ReadNodeProps(*storeNode);
    for (const auto& p : store)
        if (TagOf(p) == PR_RECORD_KEY) recordKey_ = p.value;
    ipmSubtree_ = entryNid(store, PidTagIpmSubTreeEntryId);
    wastebasket_ = entryNid(store, PidTagIpmWastebasketEntryId);
    finder_ = entryNid(store, PidTagFinderEntryId);
    if (recordKey_.size() != 16) FormatError("message store", "PidTagRecordKey", "is missing");
    if (auto map = db_->FindNode(NID_NAME_TO_ID_MAP))
        names_ = std::make_unique<NameToIdMap>(NameToIdMap::FromProperties(ReadNodeProps(*map)));
    else
        names_ = std::make_unique<NameToIdMap>(NameToIdMap::ForNewStore());

    // New folders get the columns of this store's templates.
    auto templateColumns = [this](Nid nid, const std::vector<uint32_t>& fallback) {
        std::optional<NodeRef> ref = db_->FindNode(nid);
        if (!ref) return fallback;
        HeapReader heap(db_->ReadDataTree(ref->bidData));
        TcRead tc = ReadTableContext(heap, [](Nid) { return std::vector<Bytes>(); });
        std::vector<uint32_t> cols;
        for (const auto& c : tc.cols) cols.push_back(c.tag);
        return cols;
    };
    hierarchyColumns_ = templateColumns(NID_HIERARCHY_TABLE_TEMPLATE, HierarchyTableColumns());
    contentsColumns_ = templateColumns(NID_CONTENTS_TABLE_TEMPLATE, ContentsTableColumns());
    assocColumns_ = templateColumns(NID_ASSOC_CONTENTS_TABLE_TEMPLATE, AssocContentsTableColumns());
    searchColumns_ = templateColumns(NID_SEARCH_CONTENTS_TABLE_TEMPLATE, SearchContentsTableColumns());

    // The folders: from the root folder down through the hierarchy tables, which
    // costs what the folders hold, not what the store holds. A store whose tables
    // cannot be followed has its folders found in the whole NBT instead.
    auto isFolder = [](Nid nid) {
        const uint8_t type = NidTypeOf(nid);
        return type == NID_TYPE_NORMAL_FOLDER || type == NID_TYPE_SEARCH_FOLDER;
    };
    std::vector<std::pair<Nid, NodeRef>> folderNodes;
    try {
        std::vector<Nid> pending = {NID_ROOT_FOLDER, kSpamSearchFolder};
        std::set<Nid> seen(pending.begin(), pending.end());
        while (!pending.empty()) {
            const Nid nid = pending.back();
            pending.pop_back();
            std::optional<NodeRef> ref = db_->FindNode(nid);
            if (!ref) {
                if (nid == NID_ROOT_FOLDER) FormatError("NBTENTRY", "nid", "the root folder 0x122 is missing");
                if (nid == kSpamSearchFolder) continue;
                FormatError("hierarchy table", "row", "names folder " + std::to_string(nid) + ", which is missing");
            }
            folderNodes.push_back({nid, *ref});
            if (NidTypeOf(nid) != NID_TYPE_NORMAL_FOLDER) continue;
            std::optional<NodeRef> table = db_->FindNode(Sibling(nid, NID_TYPE_HIERARCHY_TABLE));
            if (!table) FormatError("folder", "hierarchy table", "node of folder " + std::to_string(nid) + " is missing");
            HeapReader heap(db_->ReadDataTree(table->bidData));
            std::vector<SLENTRY> subs = db_->ReadSubnodeTree(table->bidSub);
            TcRead rows = ReadTableContext(heap, [&](Nid sub) {
                for (const SLENTRY& e : subs)
                    if (Nid(e.nid) == sub) return db_->ReadDataTree(e.bidData);
                FormatError("SLENTRY", "nid", "subnode " + std::to_string(sub) + " is missing");
            });
            for (const TcRowRead& r : rows.rows)
                if (isFolder(r.rowId) && seen.insert(r.rowId).second) pending.push_back(r.rowId);
        }
        std::sort(folderNodes.begin(), folderNodes.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    } catch (const MailStoreError&) {
        folderNodes.clear();
        db_->ForEachNode([&](Nid nid, const NodeRef& ref) {
            if (isFolder(nid)) folderNodes.push_back({nid, ref});
        });
    }
    for (const auto& [nid, ref] : folderNodes) {
        uint8_t type = NidTypeOf(nid);
        Folder& f = folders_[nid];
        f.nid = nid;
        f.parent = ref.nidParent;
        f.search = type == NID_TYPE_SEARCH_FOLDER;
        f.isNew = false;
        f.dirty = false;
        for (auto& p : ReadNodeProps(ref)) {
            uint32_t tag = TagOf(p);
            if (tag == PR_DISPLAY_NAME) {
                f.name = FromUtf16(p.value);
            } else if (tag == PidTagContainerClass) {
                f.containerClass = FromUtf16(p.value);
            } else if (tag == PidTagContentUnreadCount) {
                f.unread = p.value.size() >= 4 ? Get32(p.value.data()) : 0;
            } else if (tag == PidTagContentCount && !f.search) {
                // (read from the table when the folder gets messages)
                f.rowCount = p.value.size() >= 4 ? Get32(p.value.data()) : 0;
            } else if ((tag != PidTagContentCount || f.search) && tag != PidTagSubfolders) {
                // (a search folder's count stays as read: its contents are not loaded)
                f.keptProps.push_back(std::move(p));
            }
        }
        // The contents table is read when a message is added to the folder.
        if (!f.search && !db_->FindNode(Sibling(nid, NID_TYPE_CONTENTS_TABLE)))
            FormatError("folder", "contents table", "node of folder " + std::to_string(nid) + " is missing");
    }
    for (auto& [nid, f] : folders_)
        if (f.parent != nid && folders_.count(f.parent)) AddChild(folders_[f.parent], nid, f.name);
    if (!folders_.count(ipmSubtree_)) FormatError("message store", "PidTagIpmSubTreeEntryId", "names no folder");
}

Store::Folder& Store::GetFolder(FolderId id, const char* what) {
    if (closed_) throw MailStoreError(std::string(what) + ": the store " + final_.string() + " is closed");
    auto it = folders_.find(id);
    if (it == folders_.end()) throw MailStoreError(std::string(what) + ": no folder with NID " + std::to_string(id));
    return it->second;
}

const Store::Folder* Store::FindFolderById(FolderId id) const {
    auto it = folders_.find(id);
    return it == folders_.end() ? nullptr : &it->second;
}

// A name as the store keeps it: names are stored as UTF-16, so bytes that are not
// UTF-8 (Linux file names may hold any) come back as U+FFFD. Names are compared in
// that form, so a reopened store finds the folder it already holds.
static std::string StoredName(const std::string& name) {
    auto utf16 = mapi::Utf8ToUtf16Le(name);
    return mapi::Utf16LeToUtf8(utf16.data(), utf16.size());
}

std::optional<FolderId> Store::FindFolder(FolderId parent, const std::string& nameIn) const {
    const Folder* p = FindFolderById(parent);
    if (!p) return std::nullopt;
    auto it = p->childByName.find(base::AsciiLowered(StoredName(nameIn)));
    if (it == p->childByName.end()) return std::nullopt;
    return it->second;
}

FolderId Store::AddFolder(FolderId parent, const std::string& name) {
    return AddFolderOfClass(parent, name, "IPF.Note");
}

FolderId Store::AddFolderOfClass(FolderId parent, const std::string& nameIn, const std::string& containerClass) {
    const std::string name = StoredName(nameIn);
    Folder& p = GetFolder(parent, "AddFolder");
    if (p.search) throw MailStoreError("AddFolder: a search folder cannot hold folders");
    if (name.empty()) throw MailStoreError("AddFolder: a folder needs a name");
    if (auto existing = FindFolder(parent, name)) return *existing;
    Nid nid = db_->AllocateNid(NID_TYPE_NORMAL_FOLDER);
    NewFolder(nid, parent, name, containerClass, false);
    return nid;
}

Store::Folder& Store::MessageFolder(FolderId id) {
    Folder& folder = GetFolder(id, "AddMessage");
    if (folder.search) throw MailStoreError("AddMessage: messages cannot be stored in a search folder");
    return folder;
}

void Store::AddMessage(FolderId folderId, const mapi::Message& message) {
    AddBuilt(MessageFolder(folderId), BuildMessage(message, names_.get()));
}

PreparedMessagePtr Store::Prepare(const mapi::Message& message) const {
    return PreparedMessagePtr(new PreparedMessage(PrepareMessage(message, *names_, cryptMethod_)));
}

void Store::AddMessage(FolderId folderId, PreparedMessagePtr message) {
    Folder& folder = MessageFolder(folderId);
    if (!message) throw MailStoreError("AddMessage: no message");
    // Prepared against another map (another store, or this one before names came in
    // another order): the names get this store's ids here, on the thread that adds.
    FitToStore(*message, *names_, db_->CryptMethod());
    AddBuilt(folder, message->built);
}

bool Store::AddMessageOnce(FolderId folderId, PreparedMessagePtr message) {
    Folder& folder = MessageFolder(folderId);
    if (!message) throw MailStoreError("AddMessage: no message");
    // The names get this store's ids first: the categories merged below are read by them.
    FitToStore(*message, *names_, db_->CryptMethod());
    if (std::optional<Match> same = FindSame(message->built.props)) {
        // The same message from another mailbox: one item, with the labels of both.
        MergeCategoriesAndRefresh(same->nid, message->built.props);
        return false;
    }
    AddBuilt(folder, message->built);
    return true;
}

void Store::MergeCategoriesAndRefresh(Nid nid, const std::vector<PcProp>& props) {
    const std::optional<NodeRef> before = db_->FindNode(nid);
    MergeCategories(nid, props);
    const std::optional<NodeRef> after = db_->FindNode(nid);
    // Categories added: the message's size and its contents row follow.
    if (before && after && before->bidData != after->bidData) RefreshStoredMessage(nid);
}

bool Store::Holds(const PreparedMessage& message) {
    if (closed_) return false;
    return FindSame(message.built.props).has_value();
}

uint64_t Store::UsedBytes() const {
    // Written at Close: each folder's PC and tables (about 1.2 KB for ours), and
    // the row index of each contents table.
    constexpr uint64_t kPerFolder = 2 * 1024;
    constexpr uint64_t kPerRow = 8;
    return db_->UsedBytes() + folders_.size() * kPerFolder + streamedRows_ * kPerRow;
}

Nid Store::AddBuilt(Folder& folder, const BuiltMessage& built) {
    Nid nid = db_->AllocateNid(NID_TYPE_NORMAL_MESSAGE);
    WriteLtpNode(nid, built.node, folder.nid);
    if (Identity identity = IdentityOf(built.props)) {
        if (identitiesLoaded_) identities_.Add(identity, nid);
        else addedBeforeLoading_.push_back({identity, nid});
    }
    AddContentsRow(folder, nid, built.props);
    NoteWritten(nid, built.props);
    if (!(built.messageFlags & MSGFLAG_READ)) ++folder.unread;
    MarkDirty(folder.nid);
    ++sinceCommit_;
    if (inPlace_ && (sinceCommit_ >= CommitMessages() ||
                     std::chrono::steady_clock::now() - lastCommit_ >= kCommitInterval))
        Commit();
    return nid;
}

uint32_t Store::CommitMessages() {
    static const uint32_t every = [] {
        const char* v = std::getenv("BV_PST_COMMIT_MESSAGES");
        long n = v ? std::strtol(v, nullptr, 10) : 0;
        return n > 0 ? uint32_t(n) : 2000u;
    }();
    return every;
}

void Store::Commit(bool closing) {
    const auto now = std::chrono::steady_clock::now();
    for (auto& [nid, f] : folders_) {
        if (!f.dirty) continue;
        WriteFolder(f);
        f.dirty = false;
        f.isNew = false;
    }
    if (names_->Changed() || !db_->FindNode(NID_NAME_TO_ID_MAP))
        WriteLtpNode(NID_NAME_TO_ID_MAP, BuildPropertyContext(names_->Properties(), LocalNids()), 0);
    // Last of the blocks: the index is valid while no block comes after it. Written
    // whole, so not at every commit: every few seconds and when the store is closed.
    // A commit between leaves the index behind it, and a run opening the store after a
    // kill there knows the messages by reading them (as in a store Outlook made).
    if (identitiesLoaded_ && db_->Changed() && (closing || now - lastIndexWrite_ >= kCommitInterval)) {
        WriteIdentityIndex();
        lastIndexWrite_ = now;
    }
    // The commit's buffers are large and short-lived: what was freed before it and
    // by it goes back to the system, so a long run holds only what it uses.
    base::ReturnFreeMemory();
    db_->Commit();
    base::ReturnFreeMemory();
    sinceCommit_ = 0;
    lastCommit_ = std::chrono::steady_clock::now();
}

uint32_t Store::MessageCount(FolderId folder) const {
    const Folder* f = FindFolderById(folder);
    return f ? f->rowCount : 0;
}

// A search folder read from the file keeps the count its PC has.
const PcProp* Store::KeptContentCount(const Folder& f) {
    for (const PcProp& p : f.keptProps)
        if (TagOf(p) == PidTagContentCount && p.value.size() == 4) return &p;
    return nullptr;
}

int32_t Store::ContentCount(const Folder& f) {
    if (const PcProp* kept = f.search ? KeptContentCount(f) : nullptr) return int32_t(Get32(kept->value.data()));
    return int32_t(f.rowCount);
}

// Row versions come from the header's dwUnique, as Outlook hands them out: every row
// written gets the next value, so the header stays ahead of every version in the file.
uint32_t Store::NextRowVersion() { return ++db_->header().dwUnique; }

void Store::WriteFolder(Folder& f) {
    // Folder PC ([MS-PST] §2.4.4.1).
    std::vector<PcProp> props = f.keptProps;
    props.push_back(PropString(PR_DISPLAY_NAME, f.name));
    if (!f.search || !KeptContentCount(f)) props.push_back(PropLong(PidTagContentCount, ContentCount(f)));
    props.push_back(PropLong(PidTagContentUnreadCount, int32_t(f.unread)));
    props.push_back(PropBool(PidTagSubfolders, !f.children.empty()));
    if (!f.containerClass.empty()) props.push_back(PropString(PidTagContainerClass, f.containerClass));
    WriteLtpNode(f.nid, BuildPropertyContext(props, LocalNids()), f.parent);
    if (f.search) return;

    // Hierarchy table: one row per subfolder, values as in the subfolder's PC.
    TcWriter hierarchy(hierarchyColumns_);
    for (Nid c : f.children) {
        const Folder& child = folders_.at(c);
        std::vector<TcCell> cells = {
            {PR_DISPLAY_NAME, Utf16(child.name)},
            {PidTagContentCount, PropLong(PidTagContentCount, ContentCount(child)).value},
            {PidTagContentUnreadCount, PropLong(PidTagContentUnreadCount, int32_t(child.unread)).value},
            {PidTagSubfolders, Bytes{uint8_t(child.children.empty() ? 0 : 1)}},
        };
        if (!child.containerClass.empty()) cells.push_back({PidTagContainerClass, Utf16(child.containerClass)});
        hierarchy.AddRow(c, NextRowVersion(), cells);
    }
    WriteLtpNode(Sibling(f.nid, NID_TYPE_HIERARCHY_TABLE), hierarchy.Finish(LocalNids()), 0);

    WriteContents(f);

    if (f.isNew) WriteLtpNode(Sibling(f.nid, NID_TYPE_ASSOC_CONTENTS_TABLE), EmptyTable(assocColumns_), 0);
}

void Store::Close() {
    if (closed_) return;
    try {
        Commit(true);
        db_.reset();
        if (!inPlace_) {
            std::error_code ec;
            fs::rename(temp_, final_, ec);
            if (ec) throw IoError(IoError::Operation::MoveInto, final_.string(), ec);
        }
        closed_ = true;
        RecordWritten();
    } catch (...) {
        Abandon();
        throw;
    }
}

}  // namespace bv::mailstore::pst
